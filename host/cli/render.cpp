// `render`: an audio file through a plug-in, block by block, as a host plays
// it, with the plug-in's latency taken out and its tail kept when asked.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/commands.h"
#include "host/cli/destination.h"
#include "host/cli/error.h"
#include "host/cli/plugin_session.h"
#include "host/cli/progress.h"

namespace cli {

namespace {
constexpr double kQuiet = 1e-6; // -120 dBFS
constexpr double kTailCapSeconds = 30.0;
constexpr std::int64_t kAutomaticTail = -1;

// Takes the compensated output and writes what belongs in OUT: everything up
// to the input's length plus a fixed tail, or with an automatic tail, on until
// the output has been quiet for a while, keeping it to its last audible frame.
template <class Sample>
class Sink {
public:
    Sink(OutputFile& out, int channels, std::int64_t tail, std::int64_t quietEnough, std::int64_t cap)
        : out_(out), channels_(channels), tail_(tail), quietEnough_(quietEnough), cap_(cap) {}

    void InputEnds(std::int64_t frames) { inputFrames_ = frames; }
    bool Done() const { return done_ || (tail_ != kAutomaticTail && inputFrames_ >= 0 && Remaining() == 0); }
    std::int64_t written() const { return written_; }

    void Take(const Sample* interleaved, std::int64_t frames) {
        if (tail_ != kAutomaticTail || inputFrames_ < 0) {
            Write(interleaved, inputFrames_ < 0 ? frames : std::min(frames, Remaining()));
            return;
        }
        const std::int64_t main = std::clamp<std::int64_t>(inputFrames_ - written_, 0, frames);
        Write(interleaved, main);
        for (std::int64_t f = main; f < frames && !done_; ++f) {
            const Sample* frame = interleaved + f * channels_;
            const bool audible = std::any_of(frame, frame + channels_, [](Sample x) { return std::fabs(x) > kQuiet; });
            if (audible) {
                Write(pending_.data(), pendingFrames_);
                pending_.clear();
                pendingFrames_ = 0;
                Write(frame, 1);
            } else {
                pending_.insert(pending_.end(), frame, frame + channels_);
                ++pendingFrames_;
            }
            done_ = pendingFrames_ >= quietEnough_ || written_ + pendingFrames_ - inputFrames_ >= cap_;
        }
    }

private:
    std::int64_t Remaining() const { return std::max<std::int64_t>(inputFrames_ + tail_ - written_, 0); }
    void Write(const Sample* interleaved, std::int64_t frames) {
        if (frames <= 0) return;
        out_.Write(interleaved, frames);
        written_ += frames;
    }

    OutputFile& out_;
    const int channels_;
    const std::int64_t tail_, quietEnough_, cap_;
    std::int64_t inputFrames_ = -1, written_ = 0, pendingFrames_ = 0;
    std::vector<Sample> pending_; // quiet frames that may yet turn out to be the end
    bool done_ = false;
};

struct Plan {
    int block, latency; // latency: the frames dropped from the front
    std::int64_t tail;  // frames, or kAutomaticTail
    std::int64_t generatorFrames;
    double rate;
    bool quiet;
};

// Feeds IN (then silence, for as long as the output is wanted) through the
// plug-in in calls of plan.block frames; the frames written to OUT.
template <class Sample>
std::int64_t RenderBlocks(PluginSession& session, InputFile* in, OutputFile& out, const Plan& plan) {
    const int ins = session.Inputs(), outs = session.Outputs(), block = plan.block;
    std::vector<Sample> interleavedIn(static_cast<std::size_t>(block) * ins);
    std::vector<Sample> interleavedOut(static_cast<std::size_t>(block) * outs);
    std::vector<std::vector<Sample>> inputs(ins, std::vector<Sample>(block));
    std::vector<std::vector<Sample>> outputs(outs, std::vector<Sample>(block));
    std::vector<Sample*> inPointers, outPointers;
    for (auto& channel : inputs) inPointers.push_back(channel.data());
    for (auto& channel : outputs) outPointers.push_back(channel.data());

    const auto second = static_cast<std::int64_t>(std::llround(plan.rate));
    Sink<Sample> sink(out, outs, plan.tail, second,
                      static_cast<std::int64_t>(std::llround(kTailCapSeconds * plan.rate)));
    if (!in) sink.InputEnds(plan.generatorFrames);
    const std::int64_t expected = (in ? in->frames() : plan.generatorFrames) + std::max<std::int64_t>(plan.tail, 0);
    Progress progress(expected, 10 * second, !plan.quiet);
    std::int64_t fed = 0, toDrop = plan.latency;
    bool reading = in != nullptr;
    for (;;) {
        std::int64_t got = 0;
        if (reading) {
            got = in->Read(interleavedIn.data(), block);
            fed += got;
            if (got < block) {
                reading = false;
                sink.InputEnds(fed);
            }
        }
        if (sink.Done()) break;
        for (int c = 0; c < ins; ++c)
            for (std::int64_t f = 0; f < block; ++f) inputs[c][f] = f < got ? interleavedIn[f * ins + c] : Sample(0);
        session.Process(inPointers.data(), outPointers.data(), block);
        for (std::int64_t f = 0; f < block; ++f)
            for (int c = 0; c < outs; ++c) interleavedOut[f * outs + c] = outputs[c][f];
        const std::int64_t skip = std::min<std::int64_t>(toDrop, block);
        toDrop -= skip;
        sink.Take(interleavedOut.data() + skip * outs, block - skip);
        progress.Update(sink.written());
    }
    return sink.written();
}

// --tail in seconds; negative for auto.
double ParseTail(const Arguments& arguments) {
    const std::string text = arguments.Value("--tail", "0");
    if (text == "auto") return -1.0;
    const double seconds = ParseNumber(text, "--tail");
    if (!(seconds >= 0.0 && seconds <= 3600.0)) throw UsageError("--tail is auto or seconds from 0 to 3600");
    return seconds;
}

// OUT's format: --format, else OUT's extension, else IN's; the encoding:
// --encoding, else IN's where the format holds it, else one it does.
int OutputFormat(const Arguments& arguments, const std::string& outPath, int inputFormat, int channels, int rate) {
    int major = arguments.options.count("--format") ? MajorFormatNamed(arguments.Value("--format"))
                                                    : MajorFormatForPath(outPath);
    if (!major) major = inputFormat & SF_FORMAT_TYPEMASK;
    if (!major)
        throw UsageError("cannot tell OUT's format from \"" + outPath +
                         "\": end it in .wav, .flac, .aiff or another extension libsndfile writes, or give --format");
    if (arguments.options.count("--encoding")) return major | EncodingNamed(arguments.Value("--encoding"));
    std::vector<int> preferred = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_VORBIS};
    if (inputFormat) preferred.insert(preferred.begin(), inputFormat & SF_FORMAT_SUBMASK);
    return ChooseEncoding(major, preferred, channels, rate);
}

std::string Decibels(double amplitude) {
    if (!(amplitude > 0.0)) return std::isnan(amplitude) ? "NaN" : "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f dBFS", 20.0 * std::log10(amplitude));
    return text;
}
} // namespace

int Render(const std::vector<std::string>& argv) {
    const Arguments arguments = Parse(
        argv,
        {"--block", "--set", "--load-state", "--save-state", "--format", "--encoding", "--tail", "--seconds", "--rate"},
        {"--double", "--quiet", "--keep-latency"}, 2, 3);
    const bool generator = arguments.positional.size() == 2;
    const std::string& modulePath = arguments.positional[0];
    const std::string inPath = generator ? "" : arguments.positional[1];
    const std::string& outPath = arguments.positional.back();
    const int block = static_cast<int>(ParseWhole(arguments.Value("--block", "512"), "--block", 1, 1 << 20));
    const Precision precision = arguments.Has("--double") ? Precision::Double : Precision::Single;
    const double tailSeconds = ParseTail(arguments);
    double seconds = 0.0;
    int rate = 0;
    if (generator) {
        if (!arguments.options.count("--seconds"))
            throw UsageError("render MODULE OUT is for a plug-in without inputs and needs --seconds S");
        seconds = ParseNumber(arguments.Value("--seconds"), "--seconds");
        if (!(seconds > 0.0 && seconds <= 3600.0)) throw UsageError("--seconds is from above 0 to 3600");
        rate = static_cast<int>(ParseWhole(arguments.Value("--rate", "44100"), "--rate", 1000, 768000));
    } else if (arguments.options.count("--seconds") || arguments.options.count("--rate")) {
        throw UsageError("--seconds and --rate are for a plug-in without inputs (render MODULE OUT --seconds S); "
                         "with IN, IN sets the length and rate");
    }

    // Every file is settled before the plug-in runs: nothing read is written.
    Destination out(outPath, true);
    std::optional<Destination> stateOut;
    if (arguments.options.count("--save-state")) stateOut.emplace(arguments.Value("--save-state"), false);
    std::vector<std::pair<std::string, std::string>> read, states;
    for (const std::string& file : ModuleFiles(modulePath)) read.emplace_back("the module", file);
    if (!generator) read.emplace_back("IN", inPath);
    for (const std::string& path : arguments.Values("--load-state")) states.emplace_back("the state file", path);
    std::vector<std::pair<std::string, const Destination*>> written = {{"OUT", &out}};
    if (stateOut) written.emplace_back("the state file", &*stateOut);
    RefuseOverlaps(written, read);
    RefuseOverlaps({{"OUT", &out}}, states); // a state may be loaded and saved back into one file

    std::optional<InputFile> in;
    if (!generator) {
        in.emplace(inPath);
        rate = in->rate();
    }
    const auto session = PluginSession::Open(modulePath, rate, block);
    const std::string& module = session->path();
    const int ins = session->Inputs(), outs = session->Outputs();
    if (outs <= 0 || outs > 64 || ins < 0 || ins > 64)
        throw Error(module + " has " + std::to_string(ins) + " inputs and " + std::to_string(outs) +
                    " outputs; render needs 0 to 64 and 1 to 64");
    if (generator && ins > 0)
        throw Error(module + " takes " + std::to_string(ins) + (ins == 1 ? " input" : " inputs") +
                    "; give IN: render MODULE IN OUT");
    if (!generator && ins == 0)
        throw Error(module + " has no inputs; render it without IN: render MODULE OUT --seconds S");
    if (in && in->channels() != ins)
        throw Error(inPath + " has " + std::to_string(in->channels()) +
                    (in->channels() == 1 ? " channel" : " channels") + " but " + module + " takes " +
                    std::to_string(ins) + " inputs; give a file with one channel per input");
    if (!session->Processes(precision))
        throw Error(module + (precision == Precision::Double ? " has no 64-bit processing (leave out --double)"
                                                             : " has no 32-bit replacing processing"));
    if (stateOut && !session->KeepsState()) throw Error(module + " keeps no state chunk to save");
    const std::int64_t tail = tailSeconds < 0.0 ? kAutomaticTail : std::llround(tailSeconds * rate);
    const int format = OutputFormat(arguments, outPath, in ? in->format() : 0, outs, rate);
    OutputFile file(out, format, outs, rate);
    std::optional<PendingFile> stateFile;
    if (stateOut) stateFile.emplace(*stateOut);
    for (const std::string& path : arguments.Values("--load-state")) session->LoadState(path);
    for (const std::string& assignment : arguments.Values("--set")) session->Set(assignment);

    session->Start(rate, block, precision);
    const int latency = session->Latency();
    const Plan plan{block,        arguments.Has("--keep-latency") ? 0 : latency,
                    tail,         static_cast<std::int64_t>(std::llround(seconds * rate)),
                    double(rate), arguments.Has("--quiet")};
    const std::int64_t frames = precision == Precision::Double
                                    ? RenderBlocks<double>(*session, in ? &*in : nullptr, file, plan)
                                    : RenderBlocks<float>(*session, in ? &*in : nullptr, file, plan);
    session->Stop();
    // The state goes first: if it cannot be written, no output is left either.
    if (stateFile) {
        stateFile->Write(session->SaveState());
        stateFile->Commit();
    }
    file.Commit();

    if (file.overs() > 0 && IsIntegerEncoding(format))
        std::fprintf(stderr,
                     "vstrun: warning: %lld samples beyond full scale were clipped in %s (peak %s); "
                     "lower the level or use --encoding float\n",
                     static_cast<long long>(file.overs()), outPath.c_str(), Decibels(file.peak()).c_str());
    if (!arguments.Has("--quiet")) {
        std::string latencyText = "latency " + std::to_string(latency) + " frames";
        if (latency > 0) latencyText += arguments.Has("--keep-latency") ? " kept" : " compensated";
        std::fprintf(outPath == "-" ? stderr : stdout, "rendered %lld frames at %d Hz (%s) into %s; %s; peak %s\n",
                     static_cast<long long>(frames), rate, FormatDescription(format).c_str(), outPath.c_str(),
                     latencyText.c_str(), Decibels(file.peak()).c_str());
    }
    return 0;
}

} // namespace cli
