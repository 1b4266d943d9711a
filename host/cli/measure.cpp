// `tone`, `measure` and `sweep`: test signals, the level of each tone in a
// file, and a plug-in's gain from each input against one parameter.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numbers>
#include <optional>
#include <sstream>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/commands.h"
#include "host/cli/destination.h"
#include "host/cli/error.h"
#include "host/cli/json.h"
#include "host/cli/plugin_session.h"
#include "host/cli/svg_plot.h"

namespace cli {

namespace {
// --freq's list, each above 0 and below half the rate; without it, 440 Hz,
// then 1000, 1500 … Hz up to fallbackCount of them.
std::vector<double> Frequencies(const Arguments& arguments, std::size_t fallbackCount, double rate) {
    std::vector<double> list;
    const std::string text = arguments.Value("--freq");
    if (text.empty()) {
        for (std::size_t k = 0; k < fallbackCount; ++k) list.push_back(k == 0 ? 440.0 : 1000.0 + 500.0 * (k - 1));
    } else {
        std::stringstream items(text);
        for (std::string item; std::getline(items, item, ',');) list.push_back(ParseNumber(item, "--freq"));
    }
    for (double f : list) {
        if (!(f > 0.0)) throw UsageError("--freq takes frequencies above 0 Hz, not " + Number(f));
        if (!(f < rate / 2.0))
            throw UsageError("--freq " + Number(f) + " Hz is not below half the sample rate (" + Number(rate / 2.0) +
                             " Hz), where no tone can be");
    }
    return list;
}

// The amplitude of one sinusoid in a signal, through a Hann window over all of
// it, summed as the signal streams by.
class ToneMeter {
public:
    ToneMeter(double frequency, double rate, std::int64_t length)
        : step_(2.0 * std::numbers::pi * frequency / rate), length_(length) {}

    void Add(double sample, std::int64_t k) {
        const double w = Window(k);
        re_ += w * sample * std::cos(step_ * double(k));
        im_ -= w * sample * std::sin(step_ * double(k));
        weight_ += w;
    }
    double Amplitude() const { return length_ < 2 || !(weight_ > 0.0) ? 0.0 : 2.0 * std::hypot(re_, im_) / weight_; }

private:
    double Window(std::int64_t k) const {
        return 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(k) / double(length_ - 1));
    }

    double step_;
    std::int64_t length_;
    double re_ = 0.0, im_ = 0.0, weight_ = 0.0;
};

double Amplitude(const std::vector<double>& samples, double frequency, double rate) {
    ToneMeter meter(frequency, rate, static_cast<std::int64_t>(samples.size()));
    for (std::size_t k = 0; k < samples.size(); ++k) meter.Add(samples[k], static_cast<std::int64_t>(k));
    return meter.Amplitude();
}

double Decibels(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -INFINITY; }

std::string FormatDecibels(double dB) {
    // Below this the window's leakage, not the signal, sets the figure.
    if (!std::isfinite(dB) || dB < -120.0) return "<-120";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", dB);
    return text;
}

std::string JsonList(const std::vector<double>& values) {
    std::string out = "[";
    for (std::size_t k = 0; k < values.size(); ++k) out += (k ? ", " : "") + Number(values[k]);
    return out + "]";
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
    const double seconds = ParseNumber(arguments.Value("--seconds", "2"), "--seconds");
    const int rate = static_cast<int>(ParseWhole(arguments.Value("--rate", "44100"), "--rate", 1000, 768000));
    const double level = ParseNumber(arguments.Value("--level", "-6"), "--level");
    const std::vector<double> frequencies = Frequencies(arguments, 2, rate);
    if (!(seconds > 0.0 && seconds <= 3600.0)) throw UsageError("--seconds is from above 0 to 3600");
    if (level > 0.0) throw UsageError("--level is in dB full scale, 0 or below");
    if (frequencies.size() > 64) throw UsageError("--freq takes at most 64 frequencies");

    const int major =
        arguments.options.count("--format") ? MajorFormatNamed(arguments.Value("--format")) : MajorFormatForPath(path);
    if (!major)
        throw UsageError("cannot tell the format from \"" + path +
                         "\": end it in .wav, .flac, .aiff or another extension libsndfile writes, or give --format");
    const int channels = static_cast<int>(frequencies.size());
    const int format =
        arguments.options.count("--encoding")
            ? major | EncodingNamed(arguments.Value("--encoding"))
            : ChooseEncoding(major, {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_VORBIS}, channels,
                             rate);

    const auto frames = static_cast<std::int64_t>(std::llround(seconds * rate));
    const Destination destination(path, true);
    OutputFile out(destination, format, channels, rate);
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
    const Arguments arguments = Parse(argv, {"--freq"}, {"--json"}, 1);
    const std::string& path = arguments.positional[0];
    InputFile in(path);
    const std::vector<double> frequencies = Frequencies(arguments, 2, in.rate());
    const int channels = in.channels();
    const std::int64_t length = std::max<std::int64_t>(in.frames(), 0);
    std::vector<std::vector<ToneMeter>> meters(channels);
    for (auto& channel : meters)
        for (double f : frequencies) channel.emplace_back(f, in.rate(), length);

    constexpr std::int64_t block = 4096;
    std::vector<double> interleaved(static_cast<std::size_t>(block) * channels);
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t got = in.Read(interleaved.data(), std::min(block, length - done));
        if (got <= 0) break;
        for (std::int64_t f = 0; f < got; ++f)
            for (int c = 0; c < channels; ++c)
                for (ToneMeter& meter : meters[c]) meter.Add(interleaved[f * channels + c], done + f);
        done += got;
    }

    if (arguments.Has("--json")) {
        std::cout << "{\n  \"file\": " << Json(path) << ",\n  \"rate\": " << in.rate() << ",\n  \"frames\": " << length
                  << ",\n  \"frequencies\": " << JsonList(frequencies) << ",\n  \"channels\": [";
        for (int c = 0; c < channels; ++c) {
            std::vector<double> levels;
            for (const ToneMeter& meter : meters[c]) levels.push_back(Decibels(meter.Amplitude()));
            std::cout << (c ? "," : "") << "\n    {\"channel\": " << c + 1 << ", \"dBFS\": " << JsonList(levels) << "}";
        }
        std::cout << "\n  ]\n}\n";
        return 0;
    }
    std::cout << "level of each tone, dB full scale, in " << path << "\n  channel";
    for (double f : frequencies) std::cout << "  " << f << " Hz";
    std::cout << "\n";
    for (int c = 0; c < channels; ++c) {
        char head[32];
        std::snprintf(head, sizeof head, "  %7d", c + 1);
        std::cout << head;
        for (std::size_t k = 0; k < frequencies.size(); ++k) {
            char cell[32];
            std::snprintf(cell, sizeof cell, "  %*s", static_cast<int>(std::to_string(int(frequencies[k])).size() + 3),
                          FormatDecibels(Decibels(meters[c][k].Amplitude())).c_str());
            std::cout << cell;
        }
        std::cout << "\n";
    }
    return 0;
}

int Sweep(const std::vector<std::string>& argv) {
    const Arguments arguments =
        Parse(argv, {"--param", "--steps", "--set", "--svg", "--freq", "--output"}, {"--json"}, 1);
    if (!arguments.options.count("--param")) throw UsageError("sweep needs --param NAME");
    const int steps = static_cast<int>(ParseWhole(arguments.Value("--steps", "21"), "--steps", 2, 1001));
    constexpr double rate = 44100.0, amplitude = 0.5;
    constexpr int block = 512, settleBlocks = 16, measureBlocks = 64;

    std::optional<Destination> svgOut;
    std::optional<PendingFile> svgFile;
    if (arguments.options.count("--svg")) {
        svgOut.emplace(arguments.Value("--svg"), false);
        std::vector<std::pair<std::string, std::string>> module;
        for (const std::string& file : ModuleFiles(arguments.positional[0])) module.emplace_back("the module", file);
        RefuseOverlaps({{"--svg", &*svgOut}}, module);
        svgFile.emplace(*svgOut);
    }
    const auto session = PluginSession::Open(arguments.positional[0], rate, block);
    const int ins = session->Inputs(), outs = session->Outputs();
    if (ins < 1 || ins > 64 || outs < 1 || outs > 64)
        throw Error(session->path() + " needs 1 to 64 inputs and outputs to be swept");
    if (!session->Processes(Precision::Single)) throw Error(session->path() + " has no 32-bit replacing processing");
    const int parameter = session->FindParameter(arguments.Value("--param"));
    const int output = static_cast<int>(ParseWhole(arguments.Value("--output", "1"), "--output", 1, outs));
    const std::vector<double> frequencies = Frequencies(arguments, ins, rate);
    if (frequencies.size() != static_cast<std::size_t>(ins))
        throw UsageError("--freq needs one frequency per input (" + std::to_string(ins) + ")");
    for (const std::string& assignment : arguments.Values("--set")) session->Set(assignment);

    session->Start(rate, block, Precision::Single);
    Oscillators tones{frequencies, rate, amplitude};
    std::vector<std::vector<float>> inputs(ins, std::vector<float>(block));
    std::vector<std::vector<float>> outputs(outs, std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : inputs) inPointers.push_back(channel.data());
    for (auto& channel : outputs) outPointers.push_back(channel.data());

    const std::string name = session->ParameterName(parameter);
    Plot plot;
    plot.title = session->Name() + ": gain into output " + std::to_string(output) + " against " + name;
    plot.xLabel = name + " (normalised)";
    plot.yLabel = "gain, dB";
    for (int k = 0; k < ins; ++k) plot.series.push_back({"input " + std::to_string(k + 1), {}});
    std::vector<std::string> displays;

    for (int step = 0; step < steps; ++step) {
        const double value = double(step) / double(steps - 1);
        session->SetParameter(parameter, static_cast<float>(value));
        std::vector<double> captured;
        for (int b = 0; b < settleBlocks + measureBlocks; ++b) {
            tones.Fill(inputs, block);
            session->Process(inPointers.data(), outPointers.data(), block);
            if (b >= settleBlocks)
                captured.insert(captured.end(), outputs[output - 1].begin(), outputs[output - 1].end());
        }
        displays.push_back(session->ParameterAt(parameter).display);
        for (int k = 0; k < ins; ++k)
            plot.series[k].points.push_back({value, Decibels(Amplitude(captured, frequencies[k], rate) / amplitude)});
    }
    session->Stop();

    if (arguments.Has("--json")) {
        std::cout << "{\n  \"module\": " << Json(session->path()) << ",\n  \"parameter\": {\"index\": " << parameter
                  << ", \"name\": " << Json(name) << "},\n  \"output\": " << output
                  << ",\n  \"frequencies\": " << JsonList(frequencies) << ",\n  \"steps\": [";
        for (int step = 0; step < steps; ++step) {
            std::vector<double> gains;
            for (const auto& series : plot.series) gains.push_back(series.points[step].y);
            std::cout << (step ? "," : "") << "\n    {\"value\": " << Number(plot.series[0].points[step].x)
                      << ", \"display\": " << Json(displays[step]) << ", \"gainsDb\": " << JsonList(gains) << "}";
        }
        std::cout << "\n  ]\n}\n";
    } else {
        std::printf("gain from each input into output %d, dB, against \"%s\"\n", output, name.c_str());
        std::printf("  %-8s  %-10s", "value", "display");
        for (int k = 0; k < ins; ++k) std::printf("  input %-3d", k + 1);
        std::printf("\n");
        for (int step = 0; step < steps; ++step) {
            std::printf("  %-8.3f  %-10s", plot.series[0].points[step].x, displays[step].c_str());
            for (const auto& series : plot.series) std::printf("  %-9s", FormatDecibels(series.points[step].y).c_str());
            std::printf("\n");
        }
    }
    std::fflush(stdout);
    if (svgFile) {
        const std::string svg = RenderSvg(plot);
        svgFile->Write(std::vector<std::uint8_t>(svg.begin(), svg.end()));
        svgFile->Commit();
    }
    return 0;
}

} // namespace cli
