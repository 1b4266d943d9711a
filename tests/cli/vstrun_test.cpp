// The command-line host as a user runs it: a separate process, real files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../contract/reference.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string kModule = fs::absolute(PLUGIN_MODULE_FILE).string();
const std::string kPeer = "/usr/lib/vst/3BandEQ-vst.so"; // from Debian's dpf-plugins-vst
const std::string kCrossfader = "crossfader mono 1 / mono 2";

struct Result {
    int status;
    std::string out, err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Vstrun : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vstrun-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string At(const std::string& name) const { return (dir / name).string(); }

    Result Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), VSTRUN_PATH);
        std::vector<char*> argv;
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = At(".stdout"), err = At(".stderr");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        Result result{-1, "", ""};
        if (posix_spawn(&pid, VSTRUN_PATH, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        result.out = Slurp(out);
        result.err = Slurp(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    // Files left in the folder, the test's own inputs aside.
    std::vector<std::string> Leftovers(const std::vector<std::string>& inputs) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (std::find(inputs.begin(), inputs.end(), name) == inputs.end()) names.push_back(name);
        }
        return names;
    }
};

template <class Sample>
void WriteWav(const std::string& path, const std::vector<std::vector<Sample>>& channels, int subtype) {
    SF_INFO info{};
    info.channels = static_cast<int>(channels.size());
    info.samplerate = 48000;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<Sample> interleaved;
    for (std::size_t f = 0; f < channels[0].size(); ++f)
        for (const auto& channel : channels) interleaved.push_back(channel[f]);
    if constexpr (sizeof(Sample) == sizeof(double))
        sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    else sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(file);
}

// Channels of a file, and its format through info when asked.
template <class Sample>
std::vector<std::vector<Sample>> ReadWav(const std::string& path, SF_INFO* infoOut = nullptr) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<Sample> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    if constexpr (sizeof(Sample) == sizeof(double)) sf_readf_double(file, interleaved.data(), info.frames);
    else sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<std::vector<Sample>> channels(info.channels);
    for (std::size_t k = 0; k < interleaved.size(); ++k) channels[k % info.channels].push_back(interleaved[k]);
    if (infoOut) *infoOut = info;
    return channels;
}

template <class Sample>
std::vector<std::vector<Sample>> Noise(std::size_t channels, std::size_t frames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-1.5f, 1.5f); // beyond full scale too
    std::vector<std::vector<Sample>> out(channels, std::vector<Sample>(frames));
    for (auto& channel : out)
        for (auto& x : channel) x = uniform(random);
    return out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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

TEST_F(Vstrun, OutputFormatFollowsTheInputUnlessToldOtherwise) {
    WriteWav(At("in.wav"), Noise<float>(2, 1000), SF_FORMAT_PCM_16);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("same.wav")}).status, 0);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("out.flac"), "--format", "flac", "--encoding", "pcm24"}).status,
              0);
    SF_INFO same{}, flac{};
    ReadWav<float>(At("same.wav"), &same);
    ReadWav<float>(At("out.flac"), &flac);
    EXPECT_EQ(same.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(flac.frames, 1000);

    const Result r = Run({"render", kModule, At("in.wav"), At("bad.flac"), "--format", "flac", "--encoding", "float"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "cannot write FLAC")) << r.err;
    EXPECT_FALSE(fs::exists(At("bad.flac")));
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
}

TEST_F(Vstrun, ToneAndMeasureAgreeOnLevels) {
    ASSERT_EQ(Run({"tone", At("t.wav"), "--freq", "500,2000", "--seconds", "1", "--level", "-12"}).status, 0);
    const Result r = Run({"measure", At("t.wav"), "--freq", "500,2000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "        1  -12.00    <-120")) << r.out;
    EXPECT_TRUE(Contains(r.out, "        2   <-120   -12.00")) << r.out;
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
    const std::vector<std::string> inputs = {"in.wav",     "mono.wav",    "text.wav",   "junk.state",
                                             "good.state", "other.state", "short.state"};
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
        {{"render", kModule, At("in.wav"), out, "--load-state", At("none.state")}, 1, "cannot read"},
        {{"render", kModule, At("mono.wav"), out}, 1, "has 1 channel but " + kModule + " takes 2 inputs"},
        {{"render", kModule, At("in.wav"), At("no/such/dir/out.wav")}, 1, "cannot create a file beside"},
        {{"render", kModule, At("in.wav"), out, "--save-state", At("no/such/dir/s.state")},
         1,
         "cannot create a file beside"},
        {{"render", kPeer, At("in.wav"), out, "--save-state", At("s.state")}, 1, "keeps no state chunk to save"},
        {{"render", kModule, At("in.wav"), out, "--block", "0"}, 2, "--block must be a whole number from 1"},
        {{"render", kModule, At("in.wav"), out, "--frobnicate"}, 2, "unknown option --frobnicate"},
        {{"render", kModule, At("in.wav")}, 2, "expected 3 arguments, got 2"},
        {{"explode"}, 2, "unknown command \"explode\""},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.arguments);
        std::string shown;
        for (const auto& a : c.arguments) shown += a + " ";
        EXPECT_EQ(r.status, c.status) << shown << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, "vstrun: " + c.message) || Contains(r.err, c.message)) << shown << "\n" << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_TRUE(Leftovers(inputs).empty()) << shown;
        for (const auto& name : Leftovers(inputs)) fs::remove(dir / name);
    }
}
