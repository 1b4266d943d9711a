// The command-line host's commands as a user runs them: a separate process,
// real files, our plug-in, a third party's and the probe.
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "../contract/reference.h"
#include "harness.h"
#include "quill_version.h"

using namespace vstrun_test;

namespace {

const std::string kPeer = "/usr/lib/vst/3BandEQ-vst.so"; // from Debian's dpf-plugins-vst
const std::string kCrossfader = "crossfader mono 1 / mono 2";

// The probe's output computed here: input delayed by 220 frames, plus an echo
// of the output 4410 frames back times feedback, in float as the probe does.
std::vector<std::vector<float>> ProbeOutput(const std::vector<std::vector<float>>& input, float feedback,
                                            std::size_t frames) {
    std::vector<std::vector<float>> out(input.size(), std::vector<float>(frames));
    for (std::size_t c = 0; c < input.size(); ++c)
        for (std::size_t n = 0; n < frames; ++n) {
            const float delayed = n >= 220 && n - 220 < input[c].size() ? input[c][n - 220] : 0.0f;
            out[c][n] = delayed + feedback * (n >= 4410 ? out[c][n - 4410] : 0.0f);
        }
    return out;
}

std::vector<std::vector<float>> Frames(const std::vector<std::vector<float>>& channels, std::size_t from,
                                       std::size_t count) {
    std::vector<std::vector<float>> part;
    for (const auto& channel : channels) part.emplace_back(channel.begin() + from, channel.begin() + from + count);
    return part;
}

bool Audible(const std::vector<std::vector<float>>& channels, std::size_t frame) {
    return std::any_of(channels.begin(), channels.end(), [&](const auto& c) { return std::fabs(c[frame]) > 1e-6; });
}

} // namespace

TEST_F(Vstrun, InfoShowsTheRecordParametersAndCapabilities) {
    const Result r = Run({"info", kModule});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"effect          Morvantide_crossfader_2x_mono", "inputs          2", "outputs         2",
                             "flags           4144 = CanReplacing ProgramChunks CanDoubleReplacing",
                             "receiveVstMidiEvent   yes (4400)", "sendVstMidiEvent      no", "parameters      6"})
        EXPECT_TRUE(Contains(r.out, line)) << line << "\n" << r.out;
    EXPECT_TRUE(Contains(r.out, "      0  0.5                 0.00         level mono 1")) << r.out;
    EXPECT_TRUE(Contains(r.out, "channel 2 on/off")) << r.out;

    const Result set = Run({"info", kModule, "--set", "channel 2 on/off=1"});
    EXPECT_TRUE(Contains(set.out, "      4  1                    off         channel 2 on/off")) << set.out;

    const Result json = Run({"info", kModule, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* part : {"\"flags\": 4144", "\"receiveVstMidiEvent\": 4400", "\"inputs\": 2",
                             "{\"index\": 2, \"name\": \"crossfader mono 1 / mono 2\", \"label\": \"\", \"value\": 0, "
                             "\"display\": \"0.00\"}"})
        EXPECT_TRUE(Contains(json.out, part)) << part << "\n" << json.out;

    // The probe reports its delay only once resumed.
    const Result probe = Run({"info", kProbe});
    EXPECT_TRUE(Contains(probe.out, "initial delay   220\n")) << probe.out;
    EXPECT_TRUE(Contains(Run({"info", kProbe, "--json"}).out, "\"initialDelay\": 220,"));
}

TEST_F(Vstrun, InfoAndRenderWorkWithAThirdPartyEffect) {
    ASSERT_TRUE(fs::exists(kPeer)) << "scripts/deps.sh installs dpf-plugins-vst";
    const Result info = Run({"info", kPeer});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(Contains(info.out, "effect          3 Band EQ")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Low-Mid Freq")) << info.out;

    const auto input = Noise<float>(2, 3000);
    WriteWav(At("in.wav"), input, SF_FORMAT_PCM_24);
    const Result render = Run({"render", kPeer, At("in.wav"), At("out.wav"), "--set", "low=0.25", "--block", "128"});
    ASSERT_EQ(render.status, 0) << render.err;
    SF_INFO format{};
    const auto output = ReadWav<float>(At("out.wav"), &format);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_EQ(output[0].size(), 3000u);
    EXPECT_EQ(format.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(format.samplerate, 48000);
}

TEST_F(Vstrun, RenderMatchesTheReferenceComputationSampleBySample) {
    const std::size_t frames = 5000;
    const auto input = Noise<float>(2, frames);
    WriteWav(At("in.wav"), input, SF_FORMAT_FLOAT);
    contract::Reference ref;
    ref.SetFromHost(0, 0.8f);
    ref.SetFromHost(2, 0.3f);
    ref.SetFromHost(5, 0.35f);
    const Result r = Run({"render", kModule, At("in.wav"), At("out.wav"), "--set", "level mono 1=0.8", "--set", "2=0.3",
                          "--set", "OUTPUT MIX LEVEL=0.35", "--block", "300"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto output = ReadWav<float>(At("out.wav"));
    ASSERT_EQ(output.size(), 2u);
    ASSERT_EQ(output[0].size(), frames);
    for (std::size_t f = 0; f < frames; ++f) {
        double o0, o1;
        ref.Frame(input[0][f], input[1][f], o0, o1);
        ASSERT_EQ(output[0][f], static_cast<float>(o0)) << f;
        ASSERT_EQ(output[1][f], static_cast<float>(o1)) << f;
    }
    EXPECT_EQ(Leftovers({"in.wav"}), std::vector<std::string>{"out.wav"});
}

TEST_F(Vstrun, DoubleRenderKeepsDoublePrecisionAndBlockSizeChangesNothing) {
    const std::size_t frames = 4100;
    auto input = Noise<double>(2, frames);
    for (auto& x : input[1]) x /= 3.0; // not representable as float
    WriteWav(At("in.wav"), input, SF_FORMAT_DOUBLE);
    contract::Reference ref;
    ref.SetFromHost(2, 0.5f);
    ref.SetFromHost(1, 0.1f);
    std::vector<std::vector<std::vector<double>>> renders;
    for (const char* block : {"1", "512", "4096"}) {
        const std::string out = At(std::string("out") + block + ".wav");
        const Result r = Run({"render", kModule, At("in.wav"), out, "--double", "--block", block, "--set",
                              kCrossfader + "=0.5", "--set", "level mono 2=0.1"});
        ASSERT_EQ(r.status, 0) << r.err;
        renders.push_back(ReadWav<double>(out));
    }
    ASSERT_EQ(renders[0].size(), 2u);
    for (std::size_t f = 0; f < frames; ++f) {
        double o0, o1;
        ref.Frame(input[0][f], input[1][f], o0, o1);
        ASSERT_EQ(renders[0][0][f], o0) << f;
        ASSERT_EQ(renders[0][1][f], o1) << f;
    }
    EXPECT_EQ(renders[0], renders[1]);
    EXPECT_EQ(renders[0], renders[2]);
}

TEST_F(Vstrun, OutputFormatComesFromTheExtensionWithAnEncodingItHolds) {
    WriteWav(At("in16.wav"), Noise<float>(2, 1000), SF_FORMAT_PCM_16);
    WriteWav(At("inf.wav"), Noise<float>(2, 1000), SF_FORMAT_FLOAT);
    struct Case {
        std::string in, out;
        std::vector<std::string> options;
        int format;
    };
    const Case cases[] = {
        {"in16.wav", "same.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"in16.wav", "a.aiff", {}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"inf.wav", "b.aif", {}, SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"inf.wav", "c.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, // FLAC holds no float
        {"inf.wav", "d.ogg", {}, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"inf.wav", "e.caf", {}, SF_FORMAT_CAF | SF_FORMAT_FLOAT},
        {"inf.wav", "f.au", {}, SF_FORMAT_AU | SF_FORMAT_FLOAT},
        {"inf.wav", "g.w64", {}, SF_FORMAT_W64 | SF_FORMAT_FLOAT},
        {"in16.wav", "h.unknown", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_16}, // IN's
        {"inf.wav", "i.flac", {"--encoding", "pcm16"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"in16.wav", "j.wav", {"--format", "flac", "--encoding", "pcm24"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"render", kModule, At(c.in), At(c.out)};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Result r = Run(arguments);
        ASSERT_EQ(r.status, 0) << c.out << ": " << r.err;
        SF_INFO info{};
        ReadWav<float>(At(c.out), &info);
        EXPECT_EQ(info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), c.format) << c.out;
        EXPECT_EQ(info.frames, 1000) << c.out;
    }
}

// What can be known before the plug-in runs is checked before it runs: the
// probe, which logs each resume, is never resumed.
TEST_F(Vstrun, WhatCanFailFailsBeforeTheWork) {
    WriteWav(At("in.wav"), Noise<float>(2, 100), SF_FORMAT_FLOAT);
    const std::string log = At("probe.log");
    const Launch probe = Environment({"PROBE_LOG=" + log});
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::string in = At("in.wav"), out = At("out.wav");
    std::vector<Case> cases = {
        {{"render", kProbe, in, out, "--save-state", At("s.state")}, "keeps no state chunk to save"},
        {{"render", kProbe, in, out, "--save-state", At("none/s.state")},
         "cannot write " + At("none/s.state") + ": the folder " + At("none") + " does not exist"},
        {{"render", kProbe, in, At("bad.flac"), "--encoding", "float"}, "cannot write FLAC"},
        {{"render", kProbe, in, out, "--format", "ogg", "--encoding", "pcm24"}, "cannot write OGG"},
        {{"sweep", kProbe, "--param", "echo", "--svg", At("none/law.svg")},
         "the folder " + At("none") + " does not exist"},
    };
    if (geteuid() != 0) { // root may write anywhere
        fs::create_directory(At("locked"));
        fs::permissions(At("locked"), fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back(
            {{"render", kProbe, in, At("locked/out.wav")}, "the folder " + At("locked") + " is not writable"});
    }
    for (const Case& c : cases) {
        const Result r = Run(c.arguments, probe);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(Contains(r.err, c.message)) << c.message << "\n" << r.err;
        EXPECT_FALSE(Contains(Slurp(log), "resume")) << c.message;
        fs::remove(log);
        EXPECT_EQ(Leftovers({"in.wav", "locked"}), std::vector<std::string>{}) << c.message;
    }
}

TEST_F(Vstrun, ThePlugInIsToldTheRateBlockTransportAndProcessLevel) {
    const std::string log = At("probe.log");
    WriteWav(At("in.wav"), Noise<float>(2, 1000), SF_FORMAT_FLOAT, 22050);
    const Result r =
        Run({"render", kProbe, At("in.wav"), At("out.wav"), "--block", "300"}, Environment({"PROBE_LOG=" + log}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "latency 220 frames compensated")) << r.out;

    std::istringstream lines(Slurp(log));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "entry rate=22050 block=300 level=4"); // asked before the record exists
    std::getline(lines, line);
    EXPECT_EQ(line, "resume rate=22050 block=300 level=4");
    int calls = 0;
    while (std::getline(lines, line)) {
        int frames = 0, flags = 0;
        double position = 0, rate = 0;
        long level = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "process frames=%d pos=%lf rate=%lf flags=%d level=%ld", &frames, &position,
                              &rate, &flags, &level),
                  5)
            << line;
        EXPECT_EQ(frames, 300);
        EXPECT_EQ(position, 300.0 * calls) << line;
        EXPECT_EQ(rate, 22050.0);
        EXPECT_TRUE(flags & 2) << "transport playing: " << line;
        EXPECT_EQ(level, 4) << "offline: " << line;
        ++calls;
    }
    EXPECT_EQ(calls, 5); // 1000 frames and the 220 of delay, in blocks of 300
}

TEST_F(Vstrun, LatencyIsCompensatedAndTailsAreKept) {
    const std::size_t n = 6000, rate = 8000, cap = 30 * rate;
    const auto input = Noise<float>(2, n);
    WriteWav(At("in.wav"), input, SF_FORMAT_FLOAT, rate);
    const auto dry = ProbeOutput(input, 0.0f, 220 + n);
    const auto echo = ProbeOutput(input, 0.5f, 220 + n + cap);
    auto render = [&](std::vector<std::string> options) {
        std::vector<std::string> arguments = {"render", kProbe, At("in.wav"), At("out.wav"), "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const Result r = Run(arguments);
        EXPECT_EQ(r.status, 0) << r.err;
        return ReadWav<float>(At("out.wav"));
    };
    // Lined up with IN and as long: the delay's frames dropped, IN's last 220 frames still there.
    EXPECT_EQ(render({}), Frames(dry, 220, n));
    EXPECT_EQ(render({"--keep-latency"}), Frames(dry, 0, n));
    EXPECT_EQ(render({"--set", "echo=0.5", "--tail", "0.5"}), Frames(echo, 220, n + rate / 2));

    // To the last audible frame, after which the echo stays below -120 dBFS for a second.
    const auto automatic = render({"--set", "echo=0.5", "--tail", "auto", "--block", "100"});
    ASSERT_EQ(automatic.size(), 2u);
    const std::size_t length = automatic[0].size();
    ASSERT_GT(length, n + 10 * 4410);
    EXPECT_EQ(automatic, Frames(echo, 220, length));
    EXPECT_TRUE(Audible(echo, 220 + length - 1));
    for (std::size_t f = 220 + length; f < 220 + length + rate; ++f) ASSERT_FALSE(Audible(echo, f)) << f;

    // An echo that never dies away is cut at the cap.
    EXPECT_EQ(render({"--set", "echo=1", "--tail", "auto"}),
              Frames(ProbeOutput(input, 1.0f, 220 + n + cap), 220, n + cap));
}

TEST_F(Vstrun, APlugInWithoutInputsRendersTheSecondsAsked) {
    const Launch generator = Environment({"PROBE_INPUTS=0"});
    const Result r = Run({"render", kProbe, At("gen.wav"), "--seconds", "0.5", "--rate", "8000"}, generator);
    ASSERT_EQ(r.status, 0) << r.err;
    SF_INFO info{};
    const auto out = ReadWav<float>(At("gen.wav"), &info);
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(out.size(), 2u);
    ASSERT_EQ(out[0].size(), 4000u);
    for (std::size_t f = 0; f < 4000; ++f) { // the probe's ramp from its first frame: the delay taken out
        const auto ramp = static_cast<float>(static_cast<double>(f % 1000) * 0.001);
        ASSERT_EQ(out[0][f], ramp) << f;
        ASSERT_EQ(out[1][f], ramp) << f;
    }

    WriteWav(At("in.wav"), Noise<float>(2, 100), SF_FORMAT_FLOAT);
    const Result withIn = Run({"render", kProbe, At("in.wav"), At("x.wav")}, generator);
    EXPECT_EQ(withIn.status, 1);
    EXPECT_TRUE(Contains(withIn.err, "has no inputs; render it without IN: render MODULE OUT --seconds S"))
        << withIn.err;
    const Result effect = Run({"render", kModule, At("x.wav"), "--seconds", "1"});
    EXPECT_EQ(effect.status, 1);
    EXPECT_TRUE(Contains(effect.err, "takes 2 inputs; give IN")) << effect.err;
    const Result noLength = Run({"render", kProbe, At("x.wav")}, generator);
    EXPECT_EQ(noLength.status, 2);
    EXPECT_TRUE(Contains(noLength.err, "needs --seconds S")) << noLength.err;
    const Result both = Run({"render", kModule, At("in.wav"), At("x.wav"), "--seconds", "1"});
    EXPECT_EQ(both.status, 2);
    EXPECT_TRUE(Contains(both.err, "--seconds and --rate are for a plug-in without inputs")) << both.err;
    EXPECT_EQ(Leftovers({"in.wav"}), std::vector<std::string>{"gen.wav"});
}

// The chunk keeps slider values as 32-bit floats, so the settings here are
// ones a float holds exactly.
TEST_F(Vstrun, SavedStateRestoresTheSameSound) {
    WriteWav(At("in.wav"), Noise<float>(2, 2000), SF_FORMAT_FLOAT);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("a.wav"), "--set", kCrossfader + "=0.5", "--set",
                   "level mono 1=0.75", "--save-state", At("s.state")})
                  .status,
              0);
    const std::string state = Slurp(At("s.state"));
    ASSERT_EQ(state.size(), 16u + 260u);
    EXPECT_EQ(state.substr(0, 8), "VST2STAT");
    EXPECT_EQ(state.substr(16, 4), std::string("\x00\x00\x7A\xC4", 4)); // the chunk's marker, -1000.0f

    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("b.wav"), "--load-state", At("s.state")}).status, 0);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("c.wav")}).status, 0);
    EXPECT_EQ(ReadWav<float>(At("a.wav")), ReadWav<float>(At("b.wav")));
    EXPECT_NE(ReadWav<float>(At("a.wav")), ReadWav<float>(At("c.wav")));
}

TEST_F(Vstrun, SweepMeasuresTheCrossfadeLawAndDrawsIt) {
    const Result r = Run({"sweep", kModule, "--param", kCrossfader, "--steps", "5", "--svg", At("law.svg")});
    ASSERT_EQ(r.status, 0) << r.err;
    // Ends at unity, the centre boosted to 1.25 × 0.5 of each input.
    EXPECT_TRUE(Contains(r.out, "0.000     0.00        0.00       <-120")) << r.out;
    EXPECT_TRUE(Contains(r.out, "0.500     0.50        -4.08      -4.08")) << r.out;
    EXPECT_TRUE(Contains(r.out, "1.000     1.00        <-120      0.00")) << r.out;
    const std::string svg = Slurp(At("law.svg"));
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_TRUE(Contains(svg, "<polyline")) << svg;

    const Result json = Run({"sweep", kModule, "--param", kCrossfader, "--steps", "3", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* part :
         {"\"parameter\": {\"index\": 2, \"name\": \"crossfader mono 1 / mono 2\"}", "\"frequencies\": [440, 1000]",
          "{\"value\": 0.5, \"display\": \"0.50\", \"gainsDb\": [-4.08", "{\"value\": 1, "})
        EXPECT_TRUE(Contains(json.out, part)) << part << "\n" << json.out;
}

TEST_F(Vstrun, ToneAndMeasureAgreeOnLevels) {
    ASSERT_EQ(Run({"tone", At("t.wav"), "--freq", "500,2000", "--seconds", "1", "--level", "-12"}).status, 0);
    const Result r = Run({"measure", At("t.wav"), "--freq", "500,2000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "        1  -12.00    <-120")) << r.out;
    EXPECT_TRUE(Contains(r.out, "        2   <-120   -12.00")) << r.out;
    const Result json = Run({"measure", At("t.wav"), "--freq", "500,2000", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* part : {"\"rate\": 44100", "\"frames\": 44100", "\"frequencies\": [500, 2000]",
                             "{\"channel\": 1, \"dBFS\": [-12, -", "{\"channel\": 2, \"dBFS\": [-1"})
        EXPECT_TRUE(Contains(json.out, part)) << part << "\n" << json.out;
}

// A long file is measured block by block: far less memory than the file holds as numbers.
TEST_F(Vstrun, MeasureStreamsTheFile) {
    ASSERT_EQ(Run({"tone", At("long.wav"), "--freq", "500,2000", "--seconds", "30", "--rate", "48000"}).status, 0);
    const Result r = Run({"measure", At("long.wav"), "--freq", "500"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "        1   -6.00")) << r.out;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const long wholeFileKb = 30L * 48000 * 2 * sizeof(double) / 1024;
    EXPECT_LT(r.peakResidentKb, wholeFileKb * 2 / 3);
#endif
}

// Every failure: a clear message, its exit status, and no output file left.
TEST_F(Vstrun, FailuresSayWhyAndLeaveNothingBehind) {
    WriteWav(At("in.wav"), Noise<float>(2, 100), SF_FORMAT_FLOAT);
    WriteWav(At("mono.wav"), Noise<float>(1, 100), SF_FORMAT_FLOAT);
    std::ofstream(At("text.wav")) << "not audio";
    std::ofstream(At("junk.state")) << "junk";
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("x.wav"), "--save-state", At("good.state")}).status, 0);
    fs::remove(At("x.wav"));
    std::string other = Slurp(At("good.state"));
    other[8] ^= 1; // another plug-in's unique ID
    std::ofstream(At("other.state"), std::ios::binary) << other;
    std::ofstream(At("short.state"), std::ios::binary) << Slurp(At("good.state")).substr(0, 100);
    fs::create_directory(At("folder"));
    const std::vector<std::string> inputs = {"in.wav",     "mono.wav",    "text.wav",    "junk.state",
                                             "good.state", "other.state", "short.state", "folder"};
    const std::string out = At("out.wav");

    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"render", kModule, At("missing.wav"), out}, 1, "cannot read " + At("missing.wav")},
        {{"render", kModule, At("text.wav"), out}, 1, "cannot read " + At("text.wav")},
        {{"render", At("missing.so"), At("in.wav"), out}, 1, "cannot load " + At("missing.so") + ": "},
        {{"render", At("text.wav"), At("in.wav"), out}, 1, "cannot load " + At("text.wav") + ": "},
        {{"info", NO_ENTRY_MODULE}, 1, "has no VST 2.4 entry point (VSTPluginMain or main)"},
        {{"render", NULL_ENTRY_MODULE, At("in.wav"), out}, 1, "returned no plug-in"},
        {{"render", kModule, At("in.wav"), out, "--set", "volume=0.5"},
         1,
         "unknown parameter \"volume\"; the parameters are:\n  0  level mono 1\n  1  level mono 2\n"},
        {{"render", kModule, At("in.wav"), out, "--set", "6=0.5"}, 1, "unknown parameter \"6\""},
        {{"render", kModule, At("in.wav"), out, "--set", "level mono 1=1.5"},
         1,
         "value 1.5 for \"level mono 1\" is out of range: a normalised value is from 0 to 1"},
        {{"render", kModule, At("in.wav"), out, "--set", "level mono 1=-0.1"}, 1, "is out of range"},
        {{"render", kModule, At("in.wav"), out, "--set", "level mono 1=loud"}, 2, "must be a number"},
        {{"render", kModule, At("in.wav"), out, "--load-state", At("junk.state")}, 1, "is not a state file"},
        {{"render", kModule, At("in.wav"), out, "--load-state", At("other.state")}, 1, "the state of another plug-in"},
        {{"render", kModule, At("in.wav"), out, "--load-state", At("short.state")}, 1, "is damaged"},
        {{"render", kModule, At("in.wav"), out, "--load-state", At("none.state")},
         1,
         "cannot read " + At("none.state") + ": No such file or directory"},
        {{"render", kModule, At("in.wav"), out, "--load-state", At("folder")},
         1,
         "cannot read " + At("folder") + ": it is a folder"},
        {{"render", kModule, At("folder"), out}, 1, "cannot read " + At("folder") + ": it is a folder"},
        {{"render", kModule, At("mono.wav"), out}, 1, "has 1 channel but " + kModule + " takes 2 inputs"},
        {{"render", kModule, At("in.wav"), At("no/such/dir/out.wav")},
         1,
         "cannot write " + At("no/such/dir/out.wav") + ": the folder " + At("no/such/dir") + " does not exist"},
        {{"render", kPeer, At("in.wav"), out, "--save-state", At("s.state")}, 1, "keeps no state chunk to save"},
        {{"render", kModule, At("in.wav"), out, "--block", "0"}, 2, "--block must be a whole number from 1"},
        {{"render", kModule, At("in.wav"), out, "--block", "12x"}, 2, "--block must be a whole number"},
        {{"render", kModule, At("in.wav"), out, "--tail", "soon"}, 2, "--tail must be a number, not \"soon\""},
        {{"render", kModule, At("in.wav"), out, "--format", "mp4"}, 2, "--format is one of "},
        {{"render", kModule, At("in.wav"), out, "--encoding", "pcm12"}, 2, "--encoding is one of pcm8, pcm16"},
        {{"tone", out, "--seconds", "two"}, 2, "--seconds must be a number, not \"two\""},
        {{"sweep", kModule, "--param", "2", "--steps", "many"}, 2, "--steps must be a whole number"},
        {{"tone", out, "--rate", "8000", "--freq", "5000"},
         2,
         "--freq 5000 Hz is not below half the sample rate (4000 Hz)"},
        {{"measure", At("in.wav"), "--freq", "30000"}, 2, "not below half the sample rate (24000 Hz)"},
        {{"sweep", kModule, "--param", "2", "--freq", "100,23000"}, 2, "not below half the sample rate (22050 Hz)"},
        {{"render", kModule, At("in.wav"), out, "--frobnicate"}, 2, "unknown option --frobnicate"},
        {{"render", kModule}, 2, "expected 2 or 3 arguments, got 1"},
        {{"explode"}, 2, "unknown command \"explode\""},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.arguments);
        std::string shown;
        for (const auto& a : c.arguments) shown += a + " ";
        EXPECT_EQ(r.status, c.status) << shown << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, "vstrun: " + c.message) || Contains(r.err, c.message)) << shown << "\n" << r.err;
        EXPECT_EQ(r.out, "") << shown;
        if (c.status == 2) {
            EXPECT_FALSE(Contains(r.err, "usage:")) << "no whole usage for one mistake\n" << r.err;
        }
        EXPECT_TRUE(Leftovers(inputs).empty()) << shown;
        for (const auto& name : Leftovers(inputs)) fs::remove(dir / name);
    }
}

TEST_F(Vstrun, VersionAndHelpForEachCommand) {
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vstrun ") + QUILL_VERSION + "\n");
    for (const char* command : {"info", "render", "tone", "measure", "sweep"}) {
        const Result r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: vstrun ") + command, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const Result render = Run({"render", "--help"});
    for (const char* part : {"--tail auto", "at most 30 seconds of tail", "--keep-latency", "--seconds S", "--quiet"})
        EXPECT_TRUE(Contains(render.out, part)) << part;
}

// A bare name is a file in the current folder, not a library the loader finds.
TEST_F(Vstrun, ABareModuleNameIsLookedForInTheCurrentFolderFirst) {
    fs::copy_file(kModule, At("libm.so.6"));
    const Result r = Run({"info", "libm.so.6"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "module          ./libm.so.6\neffect          Morvantide_crossfader_2x_mono")) << r.out;
}

TEST_F(Vstrun, RenderTellsThePeakAndWarnsOfClipping) {
    WriteWav(At("in.wav"), Noise<float>(2, 2000), SF_FORMAT_FLOAT); // up to 1.5, over full scale
    const Result integer = Run({"render", kModule, At("in.wav"), At("o16.wav"), "--encoding", "pcm16"});
    ASSERT_EQ(integer.status, 0) << integer.err;
    EXPECT_TRUE(Contains(integer.out, "; peak +3.")) << integer.out;
    EXPECT_TRUE(Contains(integer.err, "warning: ")) << integer.err;
    EXPECT_TRUE(Contains(integer.err, "clipped in " + At("o16.wav"))) << integer.err;
    const Result floating = Run({"render", kModule, At("in.wav"), At("of.wav")});
    ASSERT_EQ(floating.status, 0) << floating.err;
    EXPECT_TRUE(Contains(floating.out, "; peak +3.")) << floating.out;
    EXPECT_EQ(floating.err, "");
}

// The progress bar shows on a terminal only; --quiet silences it and the summary.
TEST_F(Vstrun, QuietSilencesTheProgressBar) {
    WriteWav(At("in.wav"), Noise<float>(2, 8000 * 12), SF_FORMAT_FLOAT, 8000);
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    const int screen = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(screen, 0);
    const Launch onTerminal{{}, "", "", screen, terminal};
    const Result shown = Run({"render", kModule, At("in.wav"), At("out.wav")}, onTerminal);
    const Result quiet = Run({"render", kModule, At("in.wav"), At("out.wav"), "--quiet"}, onTerminal);
    close(screen);
    close(terminal);
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(Contains(shown.drained, "rendering [")) << shown.drained;
    EXPECT_TRUE(Contains(shown.out, "rendered 96000 frames")) << shown.out;
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.drained, "");
    EXPECT_EQ(quiet.out, "");
}
