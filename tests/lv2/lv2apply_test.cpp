// A second, independent host: lilv's lv2apply renders a file through the
// bundle, and the VST 2.4 module renders the same frames with the same values.
#include <sndfile.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool WriteWav(const fs::path& path, const std::vector<float>& interleaved, int channels) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(lv2test::kRate);
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

std::vector<float> ReadWav(const fs::path& path, SF_INFO& info) {
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    return interleaved;
}

// A fresh directory, removed with everything in it.
struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/lv2apply-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

} // namespace

TEST(Lv2Apply, RendersTheSameBitsAsTheVstModule) {
    const TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    const fs::path& dir = temp.path;
    // A search path that holds this bundle and nothing else of ours.
    fs::create_directory(dir / "lv2");
    fs::create_directory_symlink(fs::absolute(LV2_BUNDLE_DIR), dir / "lv2" / fs::path(LV2_BUNDLE_DIR).filename());

    const std::size_t n = 5000;
    const std::vector<float> a = lv2test::Signal(11, n), b = lv2test::Signal(12, n);
    std::vector<float> interleaved(2 * n);
    for (std::size_t j = 0; j < n; ++j) interleaved[2 * j] = a[j], interleaved[2 * j + 1] = b[j];
    ASSERT_TRUE(WriteWav(dir / "in.wav", interleaved, 2));

    const char* values[6] = {"3.5", "-2.2", "0.37", "0", "0", "1.9"};
    std::string command = std::string(LV2APPLY_ENVIRONMENT) +
                          " LV2_PATH=" + Quoted((dir / "lv2").string() + ":" + LV2_VOCABULARY_DIR) + " " +
                          Quoted(LV2APPLY_PATH) + " -i " + Quoted(dir / "in.wav") + " -o " + Quoted(dir / "out.wav");
    for (int k = 0; k < 6; ++k) command += std::string(" -c ") + lv2test::kControls[k] + " " + values[k];
    command += std::string(" ") + lv2test::kUri + " > " + Quoted(dir / "log.txt") + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream log(dir / "log.txt");
    EXPECT_EQ(status, 0) << command << "\n" << log.rdbuf();

    SF_INFO info{};
    const std::vector<float> rendered = ReadWav(dir / "out.wav", info);
    lv2test::VstRig vst;
    ASSERT_TRUE(vst.plugin);
    lv2test::Lv2Rig lv2; // for the ports' ranges
    ASSERT_TRUE(lv2.plugin);
    for (int k = 0; k < 6; ++k)
        vst->setParameter(k, lv2test::Normalised(*lv2->port(lv2test::kControls[k]), std::strtof(values[k], nullptr)));
    std::vector<std::vector<float>> in = {a, b}, out(2, std::vector<float>(n));
    vst->process(in, out);

    ASSERT_EQ(info.channels, 2);
    ASSERT_EQ(info.frames, static_cast<sf_count_t>(n));
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
    for (std::size_t j = 0; j < n; ++j)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(std::memcmp(&rendered[2 * j + c], &out[c][j], sizeof(float)), 0) << "frame " << j;
}
