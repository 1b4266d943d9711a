// `render`: an audio file through a plug-in, block by block, as a host plays it.
#include <iostream>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/commands.h"
#include "host/cli/error.h"
#include "host/cli/plugin_session.h"
#include "host/cli/progress.h"

namespace cli {

namespace {
constexpr VstIntPtr kPrecision32 = 0, kPrecision64 = 1;

template <class Sample>
std::int64_t RenderBlocks(vsthost::Instance& plugin, InputFile& in, OutputFile& out, int block) {
    const AEffect& effect = *plugin.effect();
    const int ins = effect.numInputs, outs = effect.numOutputs;
    std::vector<Sample> interleavedIn(static_cast<std::size_t>(block) * ins);
    std::vector<Sample> interleavedOut(static_cast<std::size_t>(block) * outs);
    std::vector<std::vector<Sample>> inputs(ins, std::vector<Sample>(block));
    std::vector<std::vector<Sample>> outputs(outs, std::vector<Sample>(block));
    std::vector<Sample*> inPointers, outPointers;
    for (auto& channel : inputs) inPointers.push_back(channel.data());
    for (auto& channel : outputs) outPointers.push_back(channel.data());

    Progress progress(in.frames(), std::int64_t(in.rate()) * 10);
    std::int64_t done = 0;
    for (;;) {
        const std::int64_t frames = in.Read(interleavedIn.data(), block);
        if (frames <= 0) break;
        for (std::int64_t f = 0; f < frames; ++f)
            for (int c = 0; c < ins; ++c) inputs[c][f] = interleavedIn[f * ins + c];
        if constexpr (sizeof(Sample) == sizeof(double))
            plugin.processDouble(inPointers.data(), outPointers.data(), static_cast<VstInt32>(frames));
        else plugin.process(inPointers.data(), outPointers.data(), static_cast<VstInt32>(frames));
        for (std::int64_t f = 0; f < frames; ++f)
            for (int c = 0; c < outs; ++c) interleavedOut[f * outs + c] = outputs[c][f];
        out.Write(interleavedOut.data(), frames);
        done += frames;
        progress.Update(done);
    }
    return done;
}

int OutputFormat(const Arguments& arguments, int inputFormat) {
    int format = inputFormat;
    if (arguments.options.count("--format"))
        format = MajorFormatNamed(arguments.Value("--format")) | (format & SF_FORMAT_SUBMASK);
    if (arguments.options.count("--encoding"))
        format = (format & SF_FORMAT_TYPEMASK) | EncodingNamed(arguments.Value("--encoding"));
    return format;
}
} // namespace

int Render(const std::vector<std::string>& argv) {
    const Arguments arguments =
        Parse(argv, {"--block", "--set", "--load-state", "--save-state", "--format", "--encoding"},
              {"--double", "--quiet"}, 3);
    const std::string &modulePath = arguments.positional[0], &inPath = arguments.positional[1],
                      &outPath = arguments.positional[2];
    const int block = static_cast<int>(ParseWhole(arguments.Value("--block", "512"), "--block", 1, 1 << 20));
    const bool useDouble = arguments.Has("--double");

    InputFile in(inPath);
    const int format = OutputFormat(arguments, in.format());
    PluginSession session(modulePath);
    const AEffect& effect = session.effect();
    if (effect.numOutputs <= 0 || effect.numOutputs > 64 || effect.numInputs < 0 || effect.numInputs > 64)
        throw Error(modulePath + " has " + std::to_string(effect.numInputs) + " inputs and " +
                    std::to_string(effect.numOutputs) + " outputs; render needs 0 to 64 and 1 to 64");
    if (in.channels() != effect.numInputs)
        throw Error(inPath + " has " + std::to_string(in.channels()) + (in.channels() == 1 ? " channel" : " channels") +
                    " but " + modulePath + " takes " + std::to_string(effect.numInputs) +
                    " inputs; give a file with one channel per input");
    const VstInt32 needed = useDouble ? effFlagsCanDoubleReplacing : effFlagsCanReplacing;
    if (!(effect.flags & needed))
        throw Error(modulePath + (useDouble ? " has no 64-bit processing (leave out --double)"
                                            : " has no 32-bit replacing processing"));

    vsthost::Instance& plugin = session.instance();
    plugin.setSampleRate(static_cast<float>(in.rate()));
    plugin.setBlockSize(block);
    plugin.dispatch(effSetProcessPrecision, 0, useDouble ? kPrecision64 : kPrecision32);
    for (const std::string& path : arguments.Values("--load-state")) session.LoadState(path);
    for (const std::string& assignment : arguments.Values("--set")) session.Set(assignment);

    OutputFile out(outPath, format, effect.numOutputs, in.rate());
    plugin.resume();
    plugin.dispatch(effStartProcess);
    const std::int64_t frames =
        useDouble ? RenderBlocks<double>(plugin, in, out, block) : RenderBlocks<float>(plugin, in, out, block);
    plugin.dispatch(effStopProcess);
    plugin.suspend();
    // The state goes first: if it cannot be written, no output is left either.
    if (arguments.options.count("--save-state")) session.SaveState(arguments.Value("--save-state"));
    out.Commit();

    if (!arguments.Has("--quiet"))
        std::cout << "rendered " << frames << " frames at " << in.rate() << " Hz (" << FormatDescription(format)
                  << ") into " << outPath << "\n";
    return 0;
}

} // namespace cli
