// `tone`, `measure` and `sweep`: test signals, the level of each tone in a
// file, and a plug-in's gain from each input against one parameter.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numbers>
#include <sstream>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/commands.h"
#include "host/cli/error.h"
#include "host/cli/plugin_session.h"
#include "host/cli/svg_plot.h"

namespace cli {

namespace {
std::vector<double> Frequencies(const Arguments& arguments, std::size_t fallbackCount) {
    std::vector<double> list;
    const std::string text = arguments.Value("--freq");
    if (text.empty()) {
        for (std::size_t k = 0; k < fallbackCount; ++k) list.push_back(k == 0 ? 440.0 : 1000.0 + 500.0 * (k - 1));
        return list;
    }
    std::stringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        const double f = ParseNumber(item, "--freq");
        if (!(f > 0.0)) throw UsageError("--freq takes frequencies above 0 Hz, not " + item);
        list.push_back(f);
    }
    return list;
}

// The amplitude of the sinusoid at frequency in samples, through a Hann window.
double ToneAmplitude(const std::vector<double>& samples, double frequency, double rate) {
    const std::size_t n = samples.size();
    if (n < 2) return 0.0;
    double re = 0.0, im = 0.0, weight = 0.0;
    const double step = 2.0 * std::numbers::pi * frequency / rate;
    for (std::size_t k = 0; k < n; ++k) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(k) / double(n - 1));
        re += w * samples[k] * std::cos(step * double(k));
        im -= w * samples[k] * std::sin(step * double(k));
        weight += w;
    }
    return 2.0 * std::hypot(re, im) / weight;
}

double Decibels(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -INFINITY; }

std::string FormatDecibels(double dB) {
    // Below this the window's leakage, not the signal, sets the figure.
    if (!std::isfinite(dB) || dB < -120.0) return "<-120";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", dB);
    return text;
}

// An endless sine per channel, continuing from where the last call stopped.
struct Oscillators {
    std::vector<double> frequencies;
    double rate, amplitude;
    std::int64_t position = 0;

    void Fill(std::vector<std::vector<float>>& channels, int frames) {
        for (std::size_t c = 0; c < channels.size(); ++c)
            for (int f = 0; f < frames; ++f)
                channels[c][f] = static_cast<float>(
                    amplitude * std::sin(2.0 * std::numbers::pi * frequencies[c] * double(position + f) / rate));
        position += frames;
    }
};
} // namespace

int Tone(const std::vector<std::string>& argv) {
    const Arguments arguments =
        Parse(argv, {"--freq", "--seconds", "--rate", "--level", "--format", "--encoding"}, {}, 1);
    const std::string& path = arguments.positional[0];
    const std::vector<double> frequencies = Frequencies(arguments, 2);
    const double seconds = ParseNumber(arguments.Value("--seconds", "2"), "--seconds");
    const int rate = static_cast<int>(ParseWhole(arguments.Value("--rate", "44100"), "--rate", 8000, 384000));
    const double level = ParseNumber(arguments.Value("--level", "-6"), "--level");
    if (!(seconds > 0.0 && seconds <= 3600.0)) throw UsageError("--seconds is from above 0 to 3600");
    if (level > 0.0) throw UsageError("--level is in dB full scale, 0 or below");
    if (frequencies.size() > 64) throw UsageError("--freq takes at most 64 frequencies");

    int major = MajorFormatForPath(path);
    if (arguments.options.count("--format")) major = MajorFormatNamed(arguments.Value("--format"));
    if (!major) throw UsageError("name the file .wav, .aiff or .flac, or give --format");
    int encoding = major == SF_FORMAT_FLAC ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    if (arguments.options.count("--encoding")) encoding = EncodingNamed(arguments.Value("--encoding"));

    const int channels = static_cast<int>(frequencies.size());
    const auto frames = static_cast<std::int64_t>(std::llround(seconds * rate));
    OutputFile out(path, major | encoding, channels, rate);
    Oscillators tones{frequencies, double(rate), std::pow(10.0, level / 20.0)};
    constexpr int block = 4096;
    std::vector<std::vector<float>> buffers(channels, std::vector<float>(block));
    std::vector<float> interleaved(static_cast<std::size_t>(block) * channels);
    for (std::int64_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<std::int64_t>(block, frames - done));
        tones.Fill(buffers, n);
        for (int f = 0; f < n; ++f)
            for (int c = 0; c < channels; ++c) interleaved[f * channels + c] = buffers[c][f];
        out.Write(interleaved.data(), n);
        done += n;
    }
    out.Commit();
    return 0;
}

int Measure(const std::vector<std::string>& argv) {
    const Arguments arguments = Parse(argv, {"--freq"}, {}, 1);
    InputFile in(arguments.positional[0]);
    const std::vector<double> frequencies = Frequencies(arguments, 2);
    const int channels = in.channels();
    std::vector<double> interleaved(static_cast<std::size_t>(std::max<std::int64_t>(in.frames(), 0)) * channels);
    const std::int64_t frames = in.Read(interleaved.data(), in.frames());

    std::cout << "level of each tone, dB full scale, in " << arguments.positional[0] << "\n  channel";
    for (double f : frequencies) std::cout << "  " << f << " Hz";
    std::cout << "\n";
    for (int c = 0; c < channels; ++c) {
        std::vector<double> samples(static_cast<std::size_t>(frames));
        for (std::int64_t f = 0; f < frames; ++f) samples[f] = interleaved[f * channels + c];
        char head[32];
        std::snprintf(head, sizeof head, "  %7d", c + 1);
        std::cout << head;
        for (double f : frequencies) {
            char cell[32];
            std::snprintf(cell, sizeof cell, "  %*s", static_cast<int>(std::to_string(int(f)).size() + 3),
                          FormatDecibels(Decibels(ToneAmplitude(samples, f, in.rate()))).c_str());
            std::cout << cell;
        }
        std::cout << "\n";
    }
    return 0;
}

int Sweep(const std::vector<std::string>& argv) {
    const Arguments arguments = Parse(argv, {"--param", "--steps", "--set", "--svg", "--freq", "--output"}, {}, 1);
    PluginSession session(arguments.positional[0]);
    const AEffect& effect = session.effect();
    if (effect.numInputs < 1 || effect.numInputs > 64 || effect.numOutputs < 1 || effect.numOutputs > 64)
        throw Error(session.path() + " needs 1 to 64 inputs and outputs to be swept");
    if (!(effect.flags & effFlagsCanReplacing)) throw Error(session.path() + " has no 32-bit replacing processing");
    if (!arguments.options.count("--param")) throw UsageError("sweep needs --param NAME");
    const int parameter = session.FindParameter(arguments.Value("--param"));
    const int steps = static_cast<int>(ParseWhole(arguments.Value("--steps", "21"), "--steps", 2, 1001));
    const int output = static_cast<int>(ParseWhole(arguments.Value("--output", "1"), "--output", 1, effect.numOutputs));
    const std::vector<double> frequencies = Frequencies(arguments, effect.numInputs);
    if (frequencies.size() != static_cast<std::size_t>(effect.numInputs))
        throw UsageError("--freq needs one frequency per input (" + std::to_string(effect.numInputs) + ")");
    for (const std::string& assignment : arguments.Values("--set")) session.Set(assignment);

    constexpr double rate = 44100.0, amplitude = 0.5;
    constexpr int block = 512, settleBlocks = 16, measureBlocks = 64;
    vsthost::Instance& plugin = session.instance();
    plugin.setSampleRate(static_cast<float>(rate));
    plugin.setBlockSize(block);
    plugin.resume();
    Oscillators tones{frequencies, rate, amplitude};
    std::vector<std::vector<float>> inputs(effect.numInputs, std::vector<float>(block));
    std::vector<std::vector<float>> outputs(effect.numOutputs, std::vector<float>(block));

    const std::string name = plugin.parameterName(parameter);
    Plot plot;
    plot.title = plugin.text(effGetEffectName) + ": gain into output " + std::to_string(output) + " against " + name;
    plot.xLabel = name + " (normalised)";
    plot.yLabel = "gain, dB";
    for (int k = 0; k < effect.numInputs; ++k) plot.series.push_back({"input " + std::to_string(k + 1), {}});

    std::printf("gain from each input into output %d, dB, against \"%s\"\n", output, name.c_str());
    std::printf("  %-8s  %-10s", "value", "display");
    for (int k = 0; k < effect.numInputs; ++k) std::printf("  input %-3d", k + 1);
    std::printf("\n");
    for (int step = 0; step < steps; ++step) {
        const double value = double(step) / double(steps - 1);
        plugin.setParameter(parameter, static_cast<float>(value));
        std::vector<double> captured;
        for (int b = 0; b < settleBlocks + measureBlocks; ++b) {
            tones.Fill(inputs, block);
            plugin.process(inputs, outputs);
            if (b >= settleBlocks)
                captured.insert(captured.end(), outputs[output - 1].begin(), outputs[output - 1].end());
        }
        std::printf("  %-8.3f  %-10s", value, plugin.parameterDisplay(parameter).c_str());
        for (int k = 0; k < effect.numInputs; ++k) {
            const double gain = Decibels(ToneAmplitude(captured, frequencies[k], rate) / amplitude);
            plot.series[k].points.push_back({value, gain});
            std::printf("  %-9s", FormatDecibels(gain).c_str());
        }
        std::printf("\n");
    }
    std::fflush(stdout);
    plugin.suspend();
    if (arguments.options.count("--svg")) {
        const std::string svg = RenderSvg(plot);
        WriteFileAtomically(arguments.Value("--svg"), std::vector<std::uint8_t>(svg.begin(), svg.end()));
    }
    return 0;
}

} // namespace cli
