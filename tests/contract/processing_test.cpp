#include <cmath>
#include <cstring>
#include <random>

#include "reference.h"
#include "support.h"

using contract::Reference;
using contract::Rig;

namespace {

struct Setting {
    float values[6];
};

void Apply(vsthost::Instance& p, Reference& ref, const Setting& setting) {
    for (int k = 0; k < 6; ++k) {
        p.setParameter(k, setting.values[k]);
        ref.SetFromHost(k, setting.values[k]);
    }
}

const Setting kSettings[] = {
    {{0.5f, 0.5f, 0.0f, 0, 0, 0.5f}},   {{0.5f, 0.5f, 1.0f, 0, 0, 0.5f}},  {{0.5f, 0.5f, 0.5f, 0, 0, 0.5f}},
    {{0.5f, 0.5f, 0.25f, 0, 0, 0.5f}},  {{0.0f, 1.0f, 0.37f, 0, 0, 1.0f}}, {{0.73f, 0.21f, 0.66f, 1, 0, 0.05f}},
    {{0.31f, 0.9f, 0.5f, 0, 1, 0.77f}}, {{0.5f, 0.5f, 0.5f, 1, 1, 0.5f}},  {{0.123f, 0.877f, 0.999f, 0, 0, 0.4f}},
};

std::vector<float> Signal(std::uint32_t seed, std::size_t n) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v) x = uniform(random);
    return v;
}

} // namespace

TEST(Processing, FloatAndDoublePathsMatchTheReferenceBitForBit) {
    Rig rig;
    rig->start();
    Reference ref;
    const std::size_t n = 333;
    const std::vector<float> a = Signal(1, n), b = Signal(2, n);
    for (const Setting& setting : kSettings) {
        Apply(*rig, ref, setting);
        std::vector<std::vector<float>> in = {a, b}, out(2, std::vector<float>(n, 9.0f));
        rig->process(in, out);
        std::vector<std::vector<double>> din = {{a.begin(), a.end()}, {b.begin(), b.end()}},
                                         dout(2, std::vector<double>(n, 9.0));
        rig->processDouble(din, dout);
        for (std::size_t j = 0; j < n; ++j) {
            double o0, o1;
            ref.Frame(a[j], b[j], o0, o1);
            ASSERT_EQ(dout[0][j], o0) << j;
            ASSERT_EQ(dout[1][j], o1) << j;
            ASSERT_EQ(out[0][j], static_cast<float>(o0)) << j;
            ASSERT_EQ(out[1][j], static_cast<float>(o1)) << j;
            ASSERT_EQ(out[0][j], out[1][j]);
        }
    }
}

TEST(Processing, InPlaceGivesTheSameAsSeparateBuffers) {
    Rig rig;
    rig->start();
    Reference ref;
    Apply(*rig, ref, kSettings[5]);
    const std::size_t n = 100;
    std::vector<std::vector<float>> in = {Signal(3, n), Signal(4, n)}, out(2, std::vector<float>(n));
    rig->process(in, out);
    rig->process(in, in);
    EXPECT_EQ(in, out);
    std::vector<std::vector<double>> din = {{1.0, -0.5, 0.25}, {0.75, 0.1, -1.0}}, dout(2, std::vector<double>(3));
    rig->processDouble(din, dout);
    rig->processDouble(din, din);
    EXPECT_EQ(din, dout);
}

// Long blocks, in place and not, crossing the runs the double path works in,
// and buffers that overlap with a shift, which must behave as a frame-by-frame
// loop would.
TEST(Processing, DoublePathMatchesTheReferenceForEveryBufferLayout) {
    Rig rig;
    rig->start();
    Reference ref;
    Apply(*rig, ref, kSettings[6]);
    const std::size_t n = 1001;
    const std::vector<float> a = Signal(8, n + 1), b = Signal(9, n + 1);
    auto expected = [&](std::vector<double> x, std::vector<double> y, std::size_t shift) {
        // out0 = x + shift, out1 = y: each frame writes before the next one reads.
        for (std::size_t j = 0; j < n; ++j) {
            double o0, o1;
            ref.Frame(x[j], y[j], o0, o1);
            x[j + shift] = o0;
            y[j] = o1;
        }
        return std::vector<std::vector<double>>{x, y};
    };
    for (std::size_t shift : {0u, 1u}) {
        std::vector<double> x(a.begin(), a.end()), y(b.begin(), b.end());
        double* inputs[2] = {x.data(), y.data()};
        double* outputs[2] = {x.data() + shift, y.data()};
        const auto want = expected(x, y, shift);
        rig->processDouble(inputs, outputs, static_cast<VstInt32>(n));
        EXPECT_EQ(x, want[0]) << shift;
        EXPECT_EQ(y, want[1]) << shift;
    }
}

TEST(Processing, ZeroAndNegativeFrameCountsWriteNothing) {
    Rig rig;
    rig->start();
    float in[2] = {1, 1}, out[2] = {7, 7};
    float* inputs[2] = {&in[0], &in[1]};
    float* outputs[2] = {&out[0], &out[1]};
    rig->process(inputs, outputs, 0);
    rig->process(inputs, outputs, -5);
    EXPECT_EQ(out[0], 7.0f);
    EXPECT_EQ(out[1], 7.0f);
    EXPECT_EQ(rig.host.requestsFor(audioMasterGetTime).size(), 1u + 8u);
}

TEST(Processing, NonFiniteInputsContributeNothing) {
    Rig rig;
    rig->start();
    Reference ref;
    Apply(*rig, ref, kSettings[2]);
    std::vector<std::vector<float>> in = {{INFINITY, NAN, -INFINITY, 0.5f}, {0.5f, 0.5f, NAN, INFINITY}},
                                    out(2, std::vector<float>(4));
    rig->process(in, out);
    EXPECT_EQ(out[0][0], static_cast<float>(0.625 * 0.5));
    EXPECT_EQ(out[0][1], static_cast<float>(0.625 * 0.5));
    EXPECT_EQ(out[0][2], 0.0f);
    EXPECT_EQ(out[0][3], static_cast<float>(0.625 * 0.5));
    for (float v : out[1]) EXPECT_TRUE(std::isfinite(v));
}

TEST(Processing, LargeGainOverflowsToInfinityOnlyInTheFloatPath) {
    Rig rig;
    rig->start();
    std::vector<std::uint8_t> chunk = rig->getChunk();
    const float level = 6000.0f; // 10^300
    std::memcpy(chunk.data() + 4 * 6, &level, 4);
    rig->setChunk(chunk);
    std::vector<std::vector<float>> in = {{1.0f}, {0.0f}}, out(2, std::vector<float>(1));
    rig->process(in, out);
    EXPECT_TRUE(std::isinf(out[0][0]));
    std::vector<std::vector<double>> din = {{1.0}, {0.0}}, dout(2, std::vector<double>(1));
    rig->processDouble(din, dout);
    EXPECT_EQ(dout[0][0], contract::Pow10(6000.0 / 20.0));
}

TEST(Processing, NullBuffersAreSkipped) {
    Rig rig;
    rig->start();
    float sample = 3.0f;
    float* one[2] = {&sample, nullptr};
    rig->process(nullptr, nullptr, 16);
    rig->process(one, one, 1);
    EXPECT_EQ(sample, 3.0f);
    rig->processDouble(nullptr, nullptr, 16);
}

TEST(Processing, StereoInputStillGivesOneMonoMixOnBothSides) {
    Rig rig;
    rig->start();
    Reference ref;
    Apply(*rig, ref, kSettings[4]);
    std::vector<std::vector<float>> in = {{0.9f, -0.3f}, {-0.7f, 0.2f}}, out(2, std::vector<float>(2));
    rig->process(in, out);
    EXPECT_EQ(out[0], out[1]);
}
