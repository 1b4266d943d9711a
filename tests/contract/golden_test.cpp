// A fixed input through a fixed list of settings and state restores, compared
// with one committed render that every target must reproduce.
// QUILL_UPDATE_GOLDEN=1 writes the render anew instead of comparing.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support.h"

using contract::Rig;

namespace {

const char* const kGoldenFile = GOLDEN_DIR "/render.bin";
constexpr int kBlock = 64;
constexpr int kBlocks = 24;

// Two tones and a burst of values the store rule must absorb.
float Input(int channel, int j) {
    const double t = j / 48000.0;
    double v = channel == 0 ? 0.8 * std::sin(2 * 3.141592653589793 * 441.0 * t)
                            : 0.6 * std::sin(2 * 3.141592653589793 * 1013.0 * t + 0.5);
    if (j % 97 == 13) v = channel ? -1.5 : 1.5;
    return static_cast<float>(v);
}

// Before block b, change something.
void Step(vsthost::Instance& p, int b) {
    const float values[][6] = {{0.5f, 0.5f, 0.0f, 0, 0, 0.5f},    {0.5f, 0.5f, 0.5f, 0, 0, 0.5f},
                               {0.2f, 0.8f, 0.25f, 0, 0, 0.6f},   {0.9f, 0.1f, 0.75f, 1, 0, 0.35f},
                               {0.33f, 0.66f, 0.41f, 0, 1, 1.0f}, {0.0f, 1.0f, 1.0f, 0, 0, 0.0f}};
    if (b < 6) {
        for (int k = 0; k < 6; ++k) p.setParameter(k, values[b][k]);
        return;
    }
    std::vector<float> chunk(65, 0.0f);
    chunk[0] = -1000.0f;
    switch (b % 6) {
    case 0: chunk[1] = -3.3f, chunk[2] = 4.4f, chunk[3] = 0.6f, chunk[6] = 1.5f; break;
    case 1: chunk[3] = 2.0f, chunk[4] = 0.5f; break;                  // outside the ranges
    case 2: chunk.resize(4), chunk[1] = 9.9f, chunk[3] = 0.5f; break; // short
    case 3: chunk[0] = 1.0f; break;                                   // no marker: ignored
    case 4: p.setParameter(2, 0.07f * static_cast<float>(b)); return;
    default: chunk[1] = NAN, chunk[2] = -7.0f, chunk[3] = 0.8f, chunk[6] = -9.9f; break;
    }
    std::vector<std::uint8_t> bytes(chunk.size() * 4);
    std::memcpy(bytes.data(), chunk.data(), bytes.size());
    p.setChunk(bytes);
}

// The float render of both channels, then the double render.
std::vector<std::uint8_t> Render() {
    std::vector<std::uint8_t> out;
    for (int precision = 0; precision < 2; ++precision) {
        Rig rig;
        rig->start(48000, kBlock);
        for (int b = 0; b < kBlocks; ++b) {
            Step(*rig, b);
            if (precision == 0) {
                std::vector<std::vector<float>> in(2, std::vector<float>(kBlock)), res(2, std::vector<float>(kBlock));
                for (int c = 0; c < 2; ++c)
                    for (int j = 0; j < kBlock; ++j) in[c][j] = Input(c, b * kBlock + j);
                rig->process(in, res);
                for (int c = 0; c < 2; ++c)
                    out.insert(out.end(), reinterpret_cast<std::uint8_t*>(res[c].data()),
                               reinterpret_cast<std::uint8_t*>(res[c].data() + kBlock));
            } else {
                std::vector<std::vector<double>> in(2, std::vector<double>(kBlock)),
                    res(2, std::vector<double>(kBlock));
                for (int c = 0; c < 2; ++c)
                    for (int j = 0; j < kBlock; ++j) in[c][j] = Input(c, b * kBlock + j);
                rig->processDouble(in, res);
                for (int c = 0; c < 2; ++c)
                    out.insert(out.end(), reinterpret_cast<std::uint8_t*>(res[c].data()),
                               reinterpret_cast<std::uint8_t*>(res[c].data() + kBlock));
            }
        }
    }
    return out;
}

} // namespace

TEST(Golden, RenderMatchesTheCommittedReference) {
    const std::vector<std::uint8_t> render = Render();
    ASSERT_EQ(render.size(), static_cast<std::size_t>(kBlocks * kBlock * 2 * (4 + 8)));
    const char* update = std::getenv("QUILL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(kGoldenFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(render.data()), static_cast<std::streamsize>(render.size()));
        GTEST_SKIP() << "wrote " << kGoldenFile;
    }
    std::ifstream file(kGoldenFile, std::ios::binary);
    ASSERT_TRUE(file) << kGoldenFile;
    const std::vector<std::uint8_t> golden((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(golden.size(), render.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < render.size(); ++i) differing += render[i] != golden[i];
    EXPECT_EQ(differing, 0u);
}
