// vstrun with the crossfader in each further format the build has: the same
// command line lists the same parameters, renders the same bits as the
// VST 2.4 module, and keeps state across runs.
#include <cstring>
#include <sstream>

#include "harness.h"

using namespace vstrun_test;

namespace {

struct Format {
    std::string name, path;
    bool hasDouble;
    std::string stateMagic;
};

std::vector<Format> Formats() {
    std::vector<Format> formats;
#ifdef LV2_BUNDLE
    formats.push_back({"LV2", fs::absolute(LV2_BUNDLE).string(), false, "LV2STATE"});
#endif
#ifdef CLAP_MODULE
    formats.push_back({"CLAP", fs::absolute(CLAP_MODULE).string(), true, "CLAPSTAT"});
#endif
#ifdef VST3_BUNDLE
    formats.push_back({"VST3", fs::absolute(VST3_BUNDLE).string(), true, "VST3STAT"});
#endif
    return formats;
}

// Values near the ends of the level ranges fall between two steps, where a
// value that reached the plug-in one unit in the last place off would land on
// the other step.
const std::vector<std::string> kSettings = {
    "--set",   "level mono 1=0.0025", "--set", "1=0.8123", "--set", "crossfader mono 1 / mono 2=0.37", "--set",
    "5=0.9975"};

// Display text and name of each row of info's parameter table, which must
// not depend on the format (a label, such as a VST3 unit, may).
std::vector<std::string> ParameterRows(const std::string& info) {
    std::vector<std::string> rows;
    std::istringstream lines(info);
    bool inTable = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  index  value", 0) == 0) inTable = true;
        else if (inTable && line.size() > 42) rows.push_back(line.substr(23, 10) + " | " + line.substr(42));
    }
    return rows;
}

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

} // namespace

TEST_F(Vstrun, EachFormatListsTheParametersAsTheVst2ModuleDoes) {
    for (const std::vector<std::string>& settings :
         {std::vector<std::string>{}, With(kSettings, {"--set", "channel 2 on/off=1"})}) {
        const Result vst2 = Run(With({"info", kModule}, settings));
        ASSERT_EQ(vst2.status, 0) << vst2.err;
        const std::vector<std::string> expected = ParameterRows(vst2.out);
        ASSERT_EQ(expected.size(), 6u) << vst2.out;
        for (const Format& format : Formats()) {
            const Result r = Run(With({"info", format.path}, settings));
            ASSERT_EQ(r.status, 0) << format.name << ": " << r.err;
            EXPECT_EQ(ParameterRows(r.out), expected) << format.name << "\n" << r.out;
            EXPECT_TRUE(Contains(r.out, "inputs          2\noutputs         2\n")) << format.name << "\n" << r.out;
        }
    }
#ifdef LV2_BUNDLE
    const Result lv2 = Run({"info", LV2_BUNDLE, "--set", "output_level=0.25", "--json"});
    EXPECT_TRUE(Contains(lv2.out, "\"uri\": \"urn:morvantide:crossfader_2x_mono\"")) << lv2.out;
    EXPECT_TRUE(Contains(lv2.out, "{\"index\": 5, \"name\": \"output mix level\", \"label\": \"\", \"value\": 0.25, "
                                  "\"display\": \"-5.00\"}"))
        << lv2.out;
#endif
}

TEST_F(Vstrun, EachFormatRendersTheBitsOfTheVst2Module) {
    const std::size_t frames = 3000;
    WriteWav(At("in.wav"), Noise<float>(2, frames), SF_FORMAT_FLOAT);
    auto doubles = Noise<double>(2, frames);
    for (auto& x : doubles[1]) x /= 3.0; // not representable as float
    WriteWav(At("in64.wav"), doubles, SF_FORMAT_DOUBLE);
    const auto render = [&](const std::string& module, const std::string& in, const std::string& out,
                            const std::vector<std::string>& more) {
        const Result r =
            Run(With(With({"render", module, At(in), At(out), "--block", "300", "--quiet"}, kSettings), more));
        EXPECT_EQ(r.status, 0) << module << ": " << r.err;
        return r;
    };
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("default.wav"), "--quiet"}).status, 0);
    render(kModule, "in.wav", "vst2.wav", {});
    render(kModule, "in64.wav", "vst2-64.wav", {"--double"});
    const auto expected = ReadWav<float>(At("vst2.wav"));
    const auto expected64 = ReadWav<double>(At("vst2-64.wav"));
    ASSERT_EQ(expected.size(), 2u);
    ASSERT_EQ(expected[0].size(), frames);
    ASSERT_NE(ReadWav<float>(At("default.wav")), expected); // the settings reach the output

    for (const Format& format : Formats()) {
        render(format.path, "in.wav", format.name + ".wav", {});
        EXPECT_EQ(ReadWav<float>(At(format.name + ".wav")), expected) << format.name;
        if (format.hasDouble) {
            render(format.path, "in64.wav", format.name + "-64.wav", {"--double"});
            EXPECT_EQ(ReadWav<double>(At(format.name + "-64.wav")), expected64) << format.name;
        } else {
            const Result refused = Run({"render", format.path, At("in64.wav"), At("x.wav"), "--double"});
            EXPECT_EQ(refused.status, 1);
            EXPECT_TRUE(Contains(refused.err, "has no 64-bit processing")) << refused.err;
            EXPECT_FALSE(fs::exists(At("x.wav")));
        }
    }
}

TEST_F(Vstrun, EachFormatSweepsAsTheVst2ModuleDoes) {
    const auto sweep = [&](const std::string& module) {
        Result r = Run({"sweep", module, "--param", "1", "--steps", "7", "--set", "2=0.5", "--json"});
        EXPECT_EQ(r.status, 0) << module << ": " << r.err;
        return r.out.substr(r.out.find("\"parameter\"")); // past the module's path
    };
    const std::string expected = sweep(kModule);
    for (const Format& format : Formats()) EXPECT_EQ(sweep(format.path), expected) << format.name;
}

TEST_F(Vstrun, EachFormatsStateCarriesTheSettingsIntoAnotherRun) {
    WriteWav(At("in.wav"), Noise<float>(2, 2000), SF_FORMAT_FLOAT);
    ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("default.wav"), "--quiet"}).status, 0);
    for (const Format& format : Formats()) {
        const std::string state = At(format.name + ".state");
        // Values a float holds: the state keeps each slider as a float.
        const Result saved =
            Run({"render", format.path, At("in.wav"), At("a.wav"), "--quiet", "--save-state", state, "--set",
                 "channel 1 on/off=1", "--set", "1=0.75", "--set", "2=0.25", "--set", "5=0.9975"});
        ASSERT_EQ(saved.status, 0) << format.name << ": " << saved.err;
        EXPECT_EQ(Slurp(state).substr(0, 8), format.stateMagic);
        const Result loaded = Run({"render", format.path, At("in.wav"), At("b.wav"), "--quiet", "--load-state", state});
        ASSERT_EQ(loaded.status, 0) << format.name << ": " << loaded.err;
        const auto a = ReadWav<float>(At("a.wav"));
        EXPECT_EQ(ReadWav<float>(At("b.wav")), a) << format.name;
        EXPECT_NE(ReadWav<float>(At("default.wav")), a) << format.name;
        const Result info = Run({"info", format.path, "--load-state", state});
        EXPECT_TRUE(Contains(info.out, "off         channel 1 on/off")) << format.name << "\n" << info.out;

        // Another format's state is named as such, whichever reads it.
        const Result wrong = Run({"info", kModule, "--load-state", state});
        EXPECT_EQ(wrong.status, 1);
        EXPECT_TRUE(Contains(wrong.err, "holds the state of a")) << wrong.err;
        ASSERT_EQ(Run({"render", kModule, At("in.wav"), At("c.wav"), "--save-state", At("vst2.state")}).status, 0);
        const Result back = Run({"info", format.path, "--load-state", At("vst2.state")});
        EXPECT_EQ(back.status, 1);
        EXPECT_TRUE(Contains(back.err, "holds the state of a VST 2.4 plug-in")) << back.err;
        // A state cut short is damaged, not another plug-in's.
        std::ofstream(At("short.state"), std::ios::binary) << Slurp(state).substr(0, Slurp(state).size() - 3);
        EXPECT_TRUE(Contains(Run({"info", format.path, "--load-state", At("short.state")}).err, "is damaged"));
    }
}

TEST_F(Vstrun, ABadPathOfEachFormatIsNamedAsSuch) {
    fs::create_directory(At("empty.lv2"));
    fs::create_directory(At("empty.vst3"));
    std::ofstream(At("text.clap")) << "not a module";
    struct Case {
        std::string format, path, message;
    };
    const std::vector<Case> cases = {
        {"LV2", At("missing.lv2"), "no such LV2 bundle folder"},
        {"LV2", At("empty.lv2"), "is not an LV2 bundle: it has no manifest.ttl"},
        {"LV2", At("text.clap/x.lv2"), "no such LV2 bundle folder"},
        {"CLAP", At("missing.clap"), "cannot load " + At("missing.clap")},
        {"CLAP", At("text.clap"), "cannot load " + At("text.clap")},
        {"VST3", At("missing.vst3"), "no such VST3 bundle folder"},
        {"VST3", At("empty.vst3"), "is not a VST3 bundle"},
    };
    for (const Format& format : Formats())
        for (const Case& c : cases) {
            if (c.format != format.name) continue;
            const Result r = Run({"info", c.path});
            EXPECT_EQ(r.status, 1) << c.path;
            EXPECT_TRUE(Contains(r.err, c.message)) << c.path << ": " << r.err;
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
}

TEST_F(Vstrun, EachFormatDescribesItselfInItsOwnTerms) {
    for (const Format& format : Formats()) {
        const Result r = Run({"info", format.path, "--json"});
        ASSERT_EQ(r.status, 0) << format.name << ": " << r.err;
        std::vector<std::string> parts = {"\"effect\": \"Morvantide_crossfader_2x_mono\"", "\"inputs\": 2"};
        if (format.name == "LV2")
            parts.insert(parts.end(),
                         {"\"uri\": \"urn:morvantide:crossfader_2x_mono\"", "\"minorVersion\": 2",
                          "{\"index\": 6, \"symbol\": \"crossfader\", \"name\": \"crossfader mono 1 / mono 2\", "
                          "\"type\": \"control\", \"input\": true, \"minimum\": 0, \"maximum\": 1, \"default\": 0",
                          "{\"index\": 10, \"symbol\": \"control\", \"name\": \"control\", \"type\": \"atom\", "
                          "\"input\": true, \"optional\": true}"});
        if (format.name == "CLAP")
            parts.insert(parts.end(),
                         {"\"id\": \"org.morvantide.crossfader_2x_mono\"", "\"version\": \"1.2.0\"",
                          "\"parameterIds\": [0, 1, 2, 3, 4, 5]", "\"channels\": 2, \"type\": \"stereo\""});
        if (format.name == "VST3")
            parts.insert(parts.end(), {"\"version\": \"1.2.0\"", "\"parameterIds\": [0, 1, 2, 3, 4, 5]",
                                       "\"sample64\": true", "Contents/x86_64-linux/Morvantide_crossfader_2x_mono.so"});
        for (const std::string& part : parts) EXPECT_TRUE(Contains(r.out, part)) << format.name << ": " << part;
    }
}

// A bundle copied elsewhere is the one loaded, and none of its files may be
// overwritten by what vstrun writes.
TEST_F(Vstrun, ABundleIsLoadedFromWhereItIsAndItsFilesAreNeverOutput) {
    WriteWav(At("in.wav"), Noise<float>(2, 500), SF_FORMAT_FLOAT);
    for (const Format& format : Formats()) {
        if (!fs::is_directory(format.path)) continue;
        const fs::path copy = dir / fs::path(format.path).filename();
        fs::copy(format.path, copy, fs::copy_options::recursive);
        const Result info = Run({"info", copy.string(), "--json"});
        ASSERT_EQ(info.status, 0) << format.name << ": " << info.err;
        EXPECT_TRUE(Contains(info.out, "\"binary\": \"" + copy.string())) << info.out;

        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(copy))
            if (entry.is_regular_file()) files.push_back(entry.path());
        for (const fs::path& file : files) {
            const std::string before = Slurp(file);
            const Result r = Run({"render", copy.string(), At("in.wav"), file.string(), "--format", "wav"});
            EXPECT_EQ(r.status, 1) << file;
            EXPECT_TRUE(Contains(r.err, "it is the same file as the module")) << r.err;
            EXPECT_EQ(Slurp(file), before) << file;
        }
    }
}
