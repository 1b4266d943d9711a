// Parameters: their infos, their texts as the VST 2.4 module displays them,
// normalisation, and the values the controller reports.
#include "support.h"

using namespace vst3test;

namespace {

std::string Units(const ParameterInfo& info) { return vst3host::Narrow(info.units, 128); }

double Clamp(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }

// Normalised values worth a look: the whole grid of the finest step, and some between and beyond.
std::vector<double> Values() {
    std::vector<double> values;
    for (int i = 0; i <= 200; ++i) values.push_back(i / 200.0);
    for (double v : {0.0025, 0.123456789, 0.5049, 0.99951, 1e-9, -0.5, 1.5}) values.push_back(v);
    return values;
}

} // namespace

TEST(Parameters, InfosFollowTheSliders) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.ok() && reference.plugin);
    IEditController* controller = rig.controller;
    ASSERT_EQ(controller->getParameterCount(), 6);
    const int32 steps[6] = {200, 200, 100, 1, 1, 200};
    const double defaults[6] = {0.5, 0.5, 0, 0, 0, 0.5};
    for (int32 k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        ParameterInfo info;
        std::memset(&info, 0x55, sizeof info);
        ASSERT_EQ(controller->getParameterInfo(k, &info), kResultOk);
        EXPECT_EQ(info.id, static_cast<ParamID>(k));
        EXPECT_EQ(vst3host::Narrow(info.title, 128), reference.plugin->parameterName(k));
        EXPECT_EQ(vst3host::Narrow(info.shortTitle, 128), reference.plugin->parameterName(k));
        EXPECT_EQ(Units(info), k == 0 || k == 1 || k == 5 ? "dB" : "");
        EXPECT_EQ(info.stepCount, steps[k]);
        EXPECT_EQ(info.defaultNormalizedValue, defaults[k]);
        EXPECT_EQ(info.unitId, 0);
        EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | (k == 3 || k == 4 ? ParameterInfo::kIsList : 0));
        // The controller starts where the VST 2.4 module's host parameters start.
        EXPECT_EQ(controller->getParamNormalized(k), defaults[k]);
        EXPECT_EQ(static_cast<float>(controller->getParamNormalized(k)), reference.plugin->getParameter(k));
    }
    ParameterInfo info{};
    EXPECT_EQ(controller->getParameterInfo(6, &info), kInvalidArgument);
    EXPECT_EQ(controller->getParameterInfo(-1, &info), kInvalidArgument);
    EXPECT_EQ(controller->getParameterInfo(0, nullptr), kInvalidArgument);
}

TEST(Parameters, TextsAreTheVst2DisplayAndReadBack) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.ok() && reference.plugin);
    IEditController* controller = rig.controller;
    for (int32 k = 0; k < 6; ++k)
        for (double v : Values()) {
            SCOPED_TRACE(testing::Message() << k << " " << v);
            const std::string text = rig.parameterText(k, v);
            reference.plugin->setParameter(k, static_cast<float>(Clamp(v)));
            ASSERT_EQ(text, reference.plugin->parameterDisplay(k));
            String128 wide{};
            vst3host::Widen(" " + text + " ", wide, 128);
            ParamValue back = -1.0;
            ASSERT_EQ(controller->getParamValueByString(k, wide, &back), kResultOk);
            EXPECT_GE(back, 0.0);
            EXPECT_LE(back, 1.0);
            EXPECT_EQ(rig.parameterText(k, back), text);
        }
    EXPECT_EQ(rig.parameterText(3, 0.0), "on");
    EXPECT_EQ(rig.parameterText(3, 1.0), "off");
    EXPECT_EQ(rig.parameterText(3, 0.49), "on");
    EXPECT_EQ(rig.parameterText(0, NAN), rig.parameterText(0, 0.0));
    for (const char* nonsense : {"", "loud", "1.0.0", "1e999", "nan"}) {
        String128 wide{};
        vst3host::Widen(nonsense, wide, 128);
        ParamValue untouched = 0.25;
        EXPECT_EQ(controller->getParamValueByString(0, wide, &untouched), kResultFalse) << nonsense;
        EXPECT_EQ(untouched, 0.25);
    }
    String128 notAscii = {u'\u00BD', 0};
    ParamValue value = 0;
    EXPECT_EQ(controller->getParamValueByString(2, notAscii, &value), kResultFalse);
    String128 off{};
    vst3host::Widen("OFF", off, 128);
    EXPECT_EQ(controller->getParamValueByString(4, off, &value), kResultOk);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(controller->getParamStringByValue(6, 0.5, off), kInvalidArgument);
    EXPECT_EQ(controller->getParamStringByValue(0, 0.5, nullptr), kInvalidArgument);
    EXPECT_EQ(controller->getParamValueByString(0, nullptr, &value), kInvalidArgument);
}

TEST(Parameters, PlainValuesAreTheEffectsAndTheControllerStaysInRange) {
    Vst3 rig;
    ASSERT_TRUE(rig.ok());
    IEditController* c = rig.controller;
    EXPECT_EQ(c->plainParamToNormalized(0, -10.0), 0.0);
    EXPECT_EQ(c->plainParamToNormalized(0, 0.0), 0.5);
    EXPECT_EQ(c->plainParamToNormalized(5, 10.0), 1.0);
    EXPECT_EQ(c->plainParamToNormalized(5, 99.0), 1.0);
    EXPECT_EQ(c->plainParamToNormalized(2, -3.0), 0.0);
    EXPECT_EQ(c->plainParamToNormalized(2, NAN), 0.0);
    // The value the effect takes: narrowed to float, rounded to the nearest step.
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(2, 0.337), 0.34);
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(0, 0.7526), 5.1);
    EXPECT_EQ(c->normalizedParamToPlain(3, 0.6), 1.0);
    EXPECT_EQ(c->normalizedParamToPlain(3, 0.4), 0.0);
    EXPECT_EQ(c->normalizedParamToPlain(0, 7.0), 10.0);
    for (int k = 0; k < 50; ++k) {
        const double plain = -10.0 + 0.4 * k;
        EXPECT_NEAR(c->normalizedParamToPlain(1, c->plainParamToNormalized(1, plain)), plain, 1e-9);
    }

    EXPECT_EQ(c->setParamNormalized(1, 0.25), kResultOk);
    EXPECT_EQ(c->getParamNormalized(1), 0.25);
    EXPECT_EQ(c->setParamNormalized(1, 3.0), kResultOk);
    EXPECT_EQ(c->getParamNormalized(1), 1.0);
    EXPECT_EQ(c->setParamNormalized(1, -3.0), kResultOk);
    EXPECT_EQ(c->getParamNormalized(1), 0.0);
    EXPECT_NE(c->setParamNormalized(1, NAN), kResultOk);
    EXPECT_NE(c->setParamNormalized(1, INFINITY), kResultOk);
    EXPECT_EQ(c->getParamNormalized(1), 0.0);
    EXPECT_EQ(c->setParamNormalized(6, 0.5), kInvalidArgument);
    EXPECT_EQ(c->getParamNormalized(kNoParamId), 0.0);
}

// Queued values reach the effect as the VST 2.4 module's setParameter hands
// it the float: clamped first, non-finite ones ignored; the controller then
// reports what the effect holds.
TEST(Parameters, QueuedValuesReachTheEffectByTheOneRule) {
    Vst3 rig;
    Vst2 reference;
    ASSERT_TRUE(rig.start(44100.0, 16) && reference.plugin);
    auto in = Input<float>(3, 16);
    auto out = Output<float>(16);
    for (int32 k = 0; k < 6; ++k)
        for (double v : {0.3, 1.7, -2.0, 0.123456789, 0.5049, double(NAN), double(INFINITY), 0.999}) {
            SCOPED_TRACE(testing::Message() << k << " " << v);
            vst3host::ParameterChanges changes;
            changes.add(static_cast<ParamID>(k), 0, v);
            ASSERT_EQ(rig.process(in, out, &changes), kResultOk);
            if (std::isfinite(v)) reference.plugin->setParameter(k, static_cast<float>(Clamp(v)));
            const double value = rig.controller->getParamNormalized(k);
            EXPECT_GE(value, 0.0);
            EXPECT_LE(value, 1.0);
            EXPECT_EQ(static_cast<float>(value), reference.plugin->getParameter(k));
        }
}
