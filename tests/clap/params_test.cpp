// Parameters: their infos, the one value rule, and texts that equal the VST
// 2.4 module's display.
#include <cmath>
#include <limits>

#include "support.h"

using namespace clap_contract;

namespace {

struct Expected {
    const char* name;
    double minimum, maximum, defaultValue;
    bool onOff;
};

const Expected kExpected[kParameters] = {
    {"level mono 1", -10, 10, 0, false},
    {"level mono 2", -10, 10, 0, false},
    {"crossfader mono 1 / mono 2", 0, 1, 0, false},
    {"channel 1 on/off", 0, 1, 0, true},
    {"channel 2 on/off", 0, 1, 0, true},
    {"output mix level", -10, 10, 0, false},
};

// An initialised instance whose values arrive through flush, as while inactive.
struct Params : Clap {
    Params() { EXPECT_TRUE(plugin->init()); }
    void set(clap_id id, double plain) {
        EventList events;
        events.addParamValue(0, id, plain);
        plugin->flush(events);
    }
    double get(clap_id id) { return plugin->value(id).value_or(std::nan("")); }
};

} // namespace

TEST(ClapParams, InfosInSliderOrderWithTheSlidersRangesAndFlags) {
    Params clap;
    Vst2 vst2;
    ASSERT_EQ(clap->paramCount(), kParameters);
    for (clap_id k = 0; k < kParameters; ++k) {
        const auto info = clap->paramInfo(k);
        ASSERT_TRUE(info) << k;
        EXPECT_EQ(info->id, k);
        EXPECT_STREQ(info->name, kExpected[k].name);
        EXPECT_EQ(vst2->parameterName(static_cast<VstInt32>(k)), info->name);
        EXPECT_STREQ(info->module, "");
        EXPECT_EQ(info->cookie, nullptr);
        EXPECT_EQ(info->min_value, kExpected[k].minimum);
        EXPECT_EQ(info->max_value, kExpected[k].maximum);
        EXPECT_EQ(info->default_value, kExpected[k].defaultValue);
        const std::uint32_t flags = kExpected[k].onOff
                                        ? CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM | CLAP_PARAM_IS_AUTOMATABLE
                                        : CLAP_PARAM_IS_AUTOMATABLE;
        EXPECT_EQ(info->flags, flags) << k;
        EXPECT_EQ(clap.get(k), kExpected[k].defaultValue);
    }
    EXPECT_FALSE(clap->paramInfo(kParameters));
    EXPECT_FALSE(clap->value(kParameters));
    EXPECT_FALSE(clap->value(CLAP_INVALID_ID));
    EXPECT_FALSE(clap->params()->get_info(clap->plugin(), 0, nullptr));
    EXPECT_FALSE(clap->params()->get_value(clap->plugin(), 0, nullptr));
}

// Each value a VST 2.4 host sets as a float, sent as the plain value: the
// same step, the same display text, and the text reads back to it.
TEST(ClapParams, ValuesLandOnTheVst2StepsAndShowItsDisplayText) {
    Params clap;
    Vst2 vst2;
    const float values[] = {0.0f, 0.013f, 0.25f, 0.2525f, 0.4999f, 0.5f, 0.5049f, 0.6f, 0.77f, 0.994f, 0.999f, 1.0f};
    for (clap_id k = 0; k < kParameters; ++k)
        for (float f : values) {
            vst2->setParameter(static_cast<VstInt32>(k), f);
            clap.set(k, PlainFor(*clap, k, f));
            const double plain = clap.get(k);
            const auto text = clap->valueToText(k, plain);
            ASSERT_TRUE(text) << k << " " << f;
            EXPECT_EQ(*text, vst2->parameterDisplay(static_cast<VstInt32>(k))) << k << " " << f;
            // The VST 2.4 record's normalised value is the same step.
            EXPECT_EQ(
                static_cast<float>((plain - kExpected[k].minimum) / (kExpected[k].maximum - kExpected[k].minimum)),
                vst2->getParameter(static_cast<VstInt32>(k)))
                << k << " " << f;
            const auto back = clap->textToValue(k, *text);
            ASSERT_TRUE(back) << *text;
            EXPECT_EQ(clap->valueToText(k, *back), text);
        }
}

TEST(ClapParams, StepsRoundToTheNearestAndSwitchesReadTheirNames) {
    Params clap;
    clap.set(2, 0.126);
    EXPECT_NEAR(clap.get(2), 0.13, 1e-12);
    clap.set(0, 9.96);
    EXPECT_NEAR(clap.get(0), 10.0, 1e-12);
    clap.set(3, 0.6); // a host's truncation would give 0
    EXPECT_EQ(clap.get(3), 1.0);
    clap.set(3, 0.4);
    EXPECT_EQ(clap.get(3), 0.0);
    EXPECT_EQ(clap->valueToText(3, 0.0), "on");
    EXPECT_EQ(clap->valueToText(3, 1.0), "off");
    EXPECT_EQ(clap->textToValue(4, "off"), 1.0);
    EXPECT_EQ(clap->textToValue(4, " ON "), 0.0);
    EXPECT_EQ(clap->textToValue(0, "-3.70"), -3.7);
    EXPECT_EQ(clap->textToValue(0, "25"), 10.0); // read into the range
    for (const char* junk : {"", "abc", "1.5x", "nan", "inf", "onoff"})
        EXPECT_FALSE(clap->textToValue(4, junk)) << junk;
    EXPECT_FALSE(clap->textToValue(kParameters, "0"));
    EXPECT_FALSE(clap->params()->text_to_value(clap->plugin(), 0, nullptr, nullptr));
}

TEST(ClapParams, ValuesStayFiniteAndInRangeWhateverTheHostSends) {
    Params clap;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (clap_id k = 0; k < kParameters; ++k) {
        clap.set(k, kExpected[k].maximum);
        for (double bad : {nan, inf, -inf}) {
            clap.set(k, bad);
            EXPECT_EQ(clap.get(k), kExpected[k].maximum) << k << " ignores " << bad;
        }
        clap.set(k, -1e300);
        EXPECT_EQ(clap.get(k), kExpected[k].minimum) << k;
        clap.set(k, 1e300);
        EXPECT_EQ(clap.get(k), kExpected[k].maximum) << k;
    }
    // Events for no parameter, or of other kinds, change nothing.
    EventList events;
    events.addParamValue(0, kParameters, 0.0);
    events.addParamValue(0, CLAP_INVALID_ID, 0.0);
    auto wrongSpace = ParamValueEvent(0, 0, -10.0);
    wrongSpace.header.space_id = 1;
    events.add(wrongSpace);
    auto modulation = ParamValueEvent(0, 0, -10.0);
    modulation.header.type = CLAP_EVENT_PARAM_MOD;
    events.add(modulation);
    auto truncated = ParamValueEvent(0, 0, -10.0);
    truncated.header.size = sizeof(clap_event_param_value) - 1;
    events.add(truncated);
    clap->flush(events);
    EXPECT_EQ(clap.get(0), 10.0);
    clap->params()->flush(clap->plugin(), nullptr, nullptr);
}

TEST(ClapParams, TextsAreCutToTheHostsBufferAndAlwaysTerminated) {
    Params clap;
    EXPECT_EQ(clap->valueToText(0, -3.75, 256), "-3.75");
    EXPECT_EQ(clap->valueToText(0, -3.75, 4), "-3.");
    EXPECT_EQ(clap->valueToText(0, -3.75, 1), "");
    EXPECT_EQ(clap->valueToText(2, 0.5, 5), "0.50");
    EXPECT_FALSE(clap->valueToText(0, -3.75, 0));
    EXPECT_FALSE(clap->valueToText(0, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(clap->valueToText(kParameters, 0.0));
    EXPECT_FALSE(clap->params()->value_to_text(clap->plugin(), 0, 0.0, nullptr, 16));
}
