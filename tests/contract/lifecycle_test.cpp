#include "support.h"

using contract::Rig;

namespace {
std::vector<VstIntPtr> TimeFilters(const vsthost::Host& host) {
    std::vector<VstIntPtr> filters;
    for (const auto& r : host.requestsFor(audioMasterGetTime)) filters.push_back(r.value);
    return filters;
}
} // namespace

TEST(Lifecycle, ExactHostRequestsFromLoadToClose) {
    Rig rig;
    auto& host = rig.host;
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].opcode, audioMasterVersion);
    host.requests.clear();

    rig->open();
    rig->setSampleRate(48000);
    rig->setBlockSize(256);
    EXPECT_TRUE(host.requests.empty());
    rig->resume();
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].opcode, audioMasterGetTime);
    EXPECT_EQ(host.requests[0].value, 1024);
    EXPECT_TRUE(host.requests[0].withEffect);
    host.requests.clear();

    float in[2][8] = {}, out[2][8] = {};
    float* inputs[2] = {in[0], in[1]};
    float* outputs[2] = {out[0], out[1]};
    for (VstInt32 frames : {0, 8, 1}) {
        rig->process(inputs, outputs, frames);
        EXPECT_EQ(TimeFilters(host), (std::vector<VstIntPtr>{9216, 2, 8, 512})) << frames;
        EXPECT_EQ(host.requests.size(), 4u);
        host.requests.clear();
    }
    double din[2][4] = {}, dout[2][4] = {};
    double* dinputs[2] = {din[0], din[1]};
    double* doutputs[2] = {dout[0], dout[1]};
    rig->processDouble(dinputs, doutputs, 4);
    EXPECT_EQ(TimeFilters(host), (std::vector<VstIntPtr>{9216, 2, 8, 512}));
    host.requests.clear();

    rig->setParameter(0, 0.3f);
    rig->getChunk();
    rig->suspend();
    rig->resume();
    EXPECT_EQ(TimeFilters(host), (std::vector<VstIntPtr>{1024}));
    for (const auto& r : host.requests) EXPECT_NE(r.opcode, audioMasterWantMidi);
    host.requests.clear();
    EXPECT_EQ(rig->close(), 1);
    EXPECT_TRUE(host.requests.empty());
}

TEST(Lifecycle, HostWithoutTimeInformationStillProcesses) {
    Rig rig;
    rig.host.provideTime = false;
    rig->start();
    float in[2][4] = {{1, 2, 3, 4}, {0, 0, 0, 0}}, out[2][4] = {};
    float* inputs[2] = {in[0], in[1]};
    float* outputs[2] = {out[0], out[1]};
    rig->process(inputs, outputs, 4);
    EXPECT_EQ(out[0][3], 4.0f);
    EXPECT_EQ(out[1][2], 3.0f);
}

TEST(Lifecycle, ProcessingBeforeResumeIsSilent) {
    Rig rig;
    rig->open();
    float in[2][2] = {{1, 1}, {1, 1}}, out[2][2] = {{5, 5}, {5, 5}};
    float* inputs[2] = {in[0], in[1]};
    float* outputs[2] = {out[0], out[1]};
    rig->process(inputs, outputs, 2);
    EXPECT_EQ(out[0][0], 0.0f);
    EXPECT_EQ(out[1][1], 0.0f);
}

TEST(Lifecycle, ManyInstancesLiveSideBySide) {
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int i = 0; i < 16; ++i) {
        rigs.push_back(std::make_unique<Rig>());
        (*rigs.back())->start();
        (*rigs.back())->setParameter(3, static_cast<float>(i % 2));
    }
    for (int i = 0; i < 16; ++i) EXPECT_EQ((*rigs[i])->parameterDisplay(3), i % 2 ? "off" : "on") << i;
}
