#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/brio_format.h"
#include "effect/tquill_effect.h"

namespace {

// A newer format's instance that counts the block section's time requests.
struct Counting : BrioFormatInstance {
    int signatureRequests = 0;
    std::int32_t GetTempoAndSignature(double* t, double* n, double* d) override {
        ++signatureRequests;
        return BrioFormatInstance::GetTempoAndSignature(t, n, d);
    }
};

const TQuillEffect& Fx(const BrioInstance& b) { return *static_cast<const TQuillEffect*>(b.effect); }

void Start(BrioInstance& b) {
    b.callbacks.open(&b);
    b.callbacks.resume(&b);
}

std::vector<float> Ramp(int frames, float scale) {
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (int j = 0; j < frames; ++j) v[static_cast<std::size_t>(j)] = scale * static_cast<float>(j % 17 - 8) / 8.0f;
    return v;
}

} // namespace

TEST(Core, FormatInstanceHoldsTheCrossfaderAndAnswersFromItsTransport) {
    BrioFormatInstance b;
    ASSERT_NE(b.effect, nullptr);
    EXPECT_EQ(b.effect->wrapper, &b);
    EXPECT_EQ(b.numInputs, 2);
    EXPECT_EQ(b.numOutputs, 2);
    EXPECT_TRUE(b.programsAreChunks);
    EXPECT_EQ(BrioSliderCount(&b), 6);
    double tempo = 5;
    EXPECT_EQ(BrioGetTempoAndSignature(&b, &tempo, nullptr, nullptr), 0);
    EXPECT_EQ(tempo, 5); // no transport: as a VST 2.4 host without a time record
    b.transport = {true, true, false, 140.0, 3.0, 4.0, 9.5};
    Start(b);
    b.callbacks.processReplacing(&b, nullptr, nullptr, 0);
    EXPECT_EQ(Fx(b).curTempo, 140.0);
    EXPECT_EQ(Fx(b).curTimeSigNumerator, 3.0);
    EXPECT_EQ(Fx(b).playState, 1.0);
    EXPECT_EQ(Fx(b).beatPosition, 9.5);
}

// Values from the newer formats land where a VST 2.4 host's float would.
TEST(Core, NewerFormatsValuesAreClampedNarrowedAndQuantisedByTheEffect) {
    BrioFormatInstance b;
    Start(b);
    BrioSetNormalised(&b, 2, 1.7);
    EXPECT_EQ(BrioSliderValue(&b, 2), 1.0);
    BrioSetNormalised(&b, 2, -3.0);
    EXPECT_EQ(BrioSliderValue(&b, 2), 0.0);
    BrioSetNormalised(&b, 2, 0.37);
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        BrioSetNormalised(&b, 2, bad);
        EXPECT_DOUBLE_EQ(BrioSliderValue(&b, 2), 0.37);
    }
    // On/off: half way and above is "off", as the step rounds to nearest.
    BrioSetPlain(&b, 3, 0.49);
    EXPECT_EQ(BrioSliderValue(&b, 3), 0.0);
    BrioSetPlain(&b, 3, 0.5);
    EXPECT_EQ(BrioSliderValue(&b, 3), 1.0);
    // Plain -3.26 dB: (p + 10) / 20 in double, narrowed, on the 0.1 grid.
    BrioSetPlain(&b, 0, -3.26);
    const double host = static_cast<float>((-3.26 + 10.0) / 20.0);
    EXPECT_EQ(BrioSliderValue(&b, 0), std::floor((-10.0 + host * 20.0 + 0.05) / 0.1) * 0.1);
    EXPECT_EQ(BrioQuantisedPlain(&b, 0, (-3.26 + 10.0) / 20.0), BrioSliderValue(&b, 0));
    BrioSetNormalised(&b, 99, 0.5); // unknown index: nothing
}

TEST(Core, DisplayTextsOfAnyValueAndBack) {
    BrioFormatInstance b;
    char text[32];
    ASSERT_TRUE(BrioFormatValue(&b, 0, -3.5, text, sizeof text));
    EXPECT_STREQ(text, "-3.50");
    ASSERT_TRUE(BrioFormatValue(&b, 4, 1.0, text, sizeof text));
    EXPECT_STREQ(text, "off");
    ASSERT_TRUE(BrioFormatValue(&b, 0, -3.5, text, 3));
    EXPECT_STREQ(text, "-3");
    EXPECT_FALSE(BrioFormatValue(&b, 6, 0.0, text, sizeof text));
    double plain = 7;
    EXPECT_TRUE(BrioParseValue(&b, 4, " OFF ", &plain));
    EXPECT_EQ(plain, 1.0);
    EXPECT_TRUE(BrioParseValue(&b, 0, "-3.50", &plain));
    EXPECT_EQ(plain, -3.5);
    for (const char* bad : {"", "loud", "3 dB", "nan"}) EXPECT_FALSE(BrioParseValue(&b, 0, bad, &plain)) << bad;
    BrioSliderFacts facts;
    ASSERT_TRUE(BrioGetSliderFacts(&b, 2, &facts));
    EXPECT_EQ(*facts.name, "crossfader mono 1 / mono 2");
    EXPECT_EQ(facts.step, 0.01);
}

// Slider elements out of range are clamped and non-finite ones take the
// default; the other elements are stored as read.
TEST(Core, ChunksFromNewerFormatsAreClampedToTheSliders) {
    BrioFormatInstance b;
    Start(b);
    std::vector<float> chunk(65, 0.0f);
    chunk[0] = -1000.0f;
    chunk[1] = 25.0f;
    chunk[2] = -11.0f;
    chunk[3] = std::nanf("");
    chunk[4] = 0.6f;
    chunk[6] = std::numeric_limits<float>::infinity();
    chunk[7] = 123.0f;
    EXPECT_EQ(BrioLoadChunk(&b, chunk.data(), 260), 260);
    const auto& s = Fx(b).sliderValues;
    EXPECT_EQ(s[1], 10.0);
    EXPECT_EQ(s[2], -10.0);
    EXPECT_EQ(s[3], 0.0);
    EXPECT_EQ(s[4], 0.6f); // in range: kept as read, not quantised
    EXPECT_EQ(s[6], 0.0);
    EXPECT_EQ(s[7], 123.0);
    EXPECT_FALSE(BrioChunkHasMarker(chunk.data(), 3));
    void* saved = nullptr;
    ASSERT_EQ(BrioSaveChunk(&b, &saved), 260);
    EXPECT_TRUE(BrioChunkHasMarker(saved, 260));
}

// A call split into parts gives the unsplit call's samples and runs the block
// section once.
TEST(Core, ProcessingInPartsEqualsOneCallAndRunsTheBlockOnce) {
    constexpr int frames = 300;
    const auto in0 = Ramp(frames, 0.9f), in1 = Ramp(frames, -0.4f);
    std::vector<float> whole[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    std::vector<float> parts[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    float* ins[2] = {const_cast<float*>(in0.data()), const_cast<float*>(in1.data())};
    Counting a, b;
    for (Counting* c : {&a, &b}) {
        Start(*c);
        BrioSetNormalised(c, 2, 0.3);
    }
    float* wholeOut[2] = {whole[0].data(), whole[1].data()};
    BrioProcessRange(&a, ins, wholeOut, 0, frames, true);
    float* partOut[2] = {parts[0].data(), parts[1].data()};
    const int cuts[] = {0, 1, 1, 117, 256, frames};
    b.signatureRequests = 0;
    for (int k = 0; k + 1 < 6; ++k) BrioProcessRange(&b, ins, partOut, cuts[k], cuts[k + 1], k == 0);
    EXPECT_EQ(b.signatureRequests, 1);
    EXPECT_EQ(whole[0], parts[0]);
    EXPECT_EQ(whole[1], parts[1]);
    EXPECT_EQ(b.segment.firstFrame, 0); // a plain call afterwards processes every frame
    EXPECT_TRUE(b.segment.runBlock);

    std::vector<double> d0(in0.begin(), in0.end()), d1(in1.begin(), in1.end()), o0(frames), o1(frames);
    double* dIns[2] = {d0.data(), d1.data()};
    double* dOuts[2] = {o0.data(), o1.data()};
    BrioProcessRange(&b, dIns, dOuts, 0, 150, true);
    BrioProcessRange(&b, dIns, dOuts, 150, frames, false);
    for (int j = 0; j < frames; ++j) EXPECT_EQ(static_cast<float>(o0[static_cast<std::size_t>(j)]), whole[0][j]) << j;
}
