// The LV2 run against the VST 2.4 module's float path: the same frames and
// the same values give the same bits.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "support.h"

namespace {

const float kSettings[][6] = {
    {0, 0, 0, 0, 0, 0},
    {3.5f, -2.2f, 0.37f, 0, 0, 1.9f},
    {-10, 10, 0.5f, 1, 0, -10},
    {10, -7.3f, 1, 0, 1, 10},
    {25, -0.05f, 0.333f, 0.4f, 0.6f, -30}, // outside the ranges and between steps
    {NAN, INFINITY, -INFINITY, NAN, 1, 0.05f},
    {0.05f, 0.15f, 0.005f, 1, 1, 0},
};

// Both formats process the same signal in runs of block frames, the setting
// changing every span frames; in place, LV2's outputs share its inputs' buffers
// and the host sends time.
void Compare(std::uint32_t block, bool inPlace) {
    SCOPED_TRACE(testing::Message() << "block " << block << (inPlace ? ", in place" : ""));
    lv2test::Lv2Rig lv2;
    lv2test::VstRig vst(static_cast<std::int32_t>(block));
    ASSERT_TRUE(lv2.plugin && vst.plugin);
    if (inPlace)
        for (std::uint32_t c = 0; c < 2; ++c) lv2->connect(2 + c, lv2.in[c].data());
    const std::size_t span = 2048, total = span * std::size(kSettings);
    const std::vector<float> signal[2] = {lv2test::Signal(1, total), lv2test::Signal(2, total)};
    std::vector<float> in[2], out[2];
    std::size_t applied = std::size(kSettings);
    for (std::size_t start = 0; start < total; start += block) {
        if (start / span != applied) {
            applied = start / span;
            lv2test::Apply(*lv2.plugin, *vst.plugin, kSettings[applied]);
        }
        const std::size_t n = std::min<std::size_t>(block, total - start);
        for (int c = 0; c < 2; ++c) {
            in[c].assign(signal[c].begin() + static_cast<std::ptrdiff_t>(start),
                         signal[c].begin() + static_cast<std::ptrdiff_t>(start + n));
            out[c].assign(n, 0.0f);
            std::copy(in[c].begin(), in[c].end(), lv2.in[c].begin());
        }
        // Host time reaches the effect but never its sound.
        if (inPlace) lv2->sendPosition(0, {120.0f, 4.0f, 4, 1.0f, static_cast<std::int64_t>(start / 2048), 0.5f, {}});
        lv2->run(static_cast<std::uint32_t>(n));
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        vst->process(ins, outs, static_cast<VstInt32>(n));
        for (int c = 0; c < 2; ++c) {
            const float* mine = inPlace ? lv2.in[c].data() : lv2.out[c].data();
            ASSERT_EQ(std::memcmp(mine, out[c].data(), n * sizeof(float)), 0) << "frames from " << start;
        }
    }
}

} // namespace

TEST(Lv2Processing, BitIdenticalToTheVstModuleAtEveryBlockSize) {
    for (std::uint32_t block : {1u, 64u, 1000u, 4096u}) Compare(block, false);
}

TEST(Lv2Processing, BitIdenticalInPlace) { Compare(512, true); }
