// What a careless host does: ports left unconnected, empty runs, rates no
// instance can have. Nothing crashes, nothing is written where it should not be.
#include <cmath>
#include <cstring>

#include "support.h"

namespace {

bool All(const std::vector<float>& v, float x, std::size_t n = lv2test::kMaxBlock) {
    for (std::size_t j = 0; j < n; ++j)
        if (std::memcmp(&v[j], &x, sizeof x) != 0) return false;
    return true;
}

void Fill(lv2test::Lv2Rig& rig, float x) {
    for (auto& channel : rig.out) channel.assign(channel.size(), x);
    for (auto& channel : rig.in) channel.assign(channel.size(), 0.5f);
}

} // namespace

TEST(Lv2Robustness, UnconnectedPortsAreSafe) {
    lv2test::Lv2Rig rig;
    ASSERT_TRUE(rig.plugin);
    // An input missing: the connected outputs are silent, not stale.
    Fill(rig, 7.0f);
    rig->connect(1, nullptr);
    rig->run(64);
    EXPECT_TRUE(All(rig.out[0], 0.0f, 64) && All(rig.out[1], 0.0f, 64));
    EXPECT_EQ(rig.out[0][64], 7.0f);
    rig->connect(1, rig.in[1].data());
    // An output missing.
    Fill(rig, 7.0f);
    rig->connect(3, nullptr);
    rig->run(64);
    EXPECT_TRUE(All(rig.out[0], 0.0f, 64));
    EXPECT_TRUE(All(rig.out[1], 7.0f));
    // Nothing connected at all, controls and time included.
    for (std::uint32_t port = 0; port < rig->ports().size(); ++port) rig->connect(port, nullptr);
    rig->run(64);
    rig->run(0);

    // Connected again, it is the same effect as before.
    lv2test::VstRig vst;
    for (std::uint32_t c = 0; c < 2; ++c) {
        rig->connect(c, rig.in[c].data());
        rig->connect(2 + c, rig.out[c].data());
    }
    std::vector<float> controls(6, 0.0f);
    for (std::uint32_t k = 0; k < 6; ++k) rig->connect(4 + k, &controls[k]);
    controls[2] = 0.5f;
    vst->setParameter(2, 0.5f);
    Fill(rig, 7.0f);
    rig->run(64);
    std::vector<float> in[2] = {rig.in[0], rig.in[1]}, out[2] = {in[0], in[1]};
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    vst->process(ins, outs, 64);
    EXPECT_EQ(std::memcmp(rig.out[0].data(), out[0].data(), 64 * sizeof(float)), 0);
}

TEST(Lv2Robustness, EmptyRunsWriteNothingAndBadRatesAreRefused) {
    lv2test::Lv2Rig rig;
    ASSERT_TRUE(rig.plugin);
    Fill(rig, 7.0f);
    rig->setControl("output_level", NAN);
    rig->run(0);
    EXPECT_TRUE(All(rig.out[0], 7.0f) && All(rig.out[1], 7.0f));

    for (double rate : {0.0, -48000.0, double(NAN), double(INFINITY), 1e300}) {
        lv2host::InstanceOptions options;
        options.sampleRate = rate;
        std::string error;
        EXPECT_EQ(lv2host::Instance::Create(lv2test::TheWorld(), lv2test::ThePlugin(), options, error), nullptr)
            << rate;
    }
}
