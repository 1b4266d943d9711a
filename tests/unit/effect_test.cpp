#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "effect/tquill_effect.h"

namespace {

// Runs one frame through the sample section.
std::pair<double, double> Frame(TQuillEffect& fx, double in0, double in1) {
    fx.sampleSlots[0] = in0;
    fx.sampleSlots[1] = in1;
    fx.DoSample();
    return {fx.sampleSlots[0], fx.sampleSlots[1]};
}

// As a host leaves it after effOpen and a resume.
void Open(TQuillEffect& fx) {
    fx.DoReset();
    fx.DoResume();
}

} // namespace

TEST(Crossfader, IdentityAndSliderTable) {
    TQuillEffect fx;
    EXPECT_EQ(fx.effectName, "Morvantide_crossfader_2x_mono");
    EXPECT_EQ(fx.productString, "Morvantide_crossfader_2x_mono");
    EXPECT_EQ(fx.programName, "Morvantide_crossfader_2x_mono");
    EXPECT_EQ(fx.vendorString, "Morvantide");
    EXPECT_EQ(fx.vendorVersion, 1000);
    EXPECT_EQ(fx.uniqueId, 0);
    EXPECT_EQ(fx.channelCount, 2);
    ASSERT_EQ(fx.sliders.size(), 6u);
    const char* names[] = {"level mono 1",     "level mono 2",     "crossfader mono 1 / mono 2",
                           "channel 1 on/off", "channel 2 on/off", "output mix level"};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(fx.sliders[k].name, names[k]);
        EXPECT_EQ(fx.sliders[k].slot, k + 1);
        EXPECT_EQ(fx.sliders[k].label, "");
        EXPECT_EQ(fx.sliders[k].linkedVariable, nullptr);
    }
    EXPECT_EQ(fx.sliders[2].step, 0.01);
    EXPECT_EQ(fx.sliders[0].step, 0.1);
    EXPECT_EQ(fx.sliders[3].enumNames, (std::vector<std::string>{"on", "off"}));
    EXPECT_EQ(fx.sliders[4].enumNames, (std::vector<std::string>{"on", "off"}));
    EXPECT_TRUE(fx.sliders[5].enumNames.empty());
    const double normalised[] = {0.5, 0.5, 0, 0, 0, 0.5};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(fx.NormaliseSliderValue(k), normalised[k]);
}

TEST(Crossfader, ResetZeroesTheVariablesAndStoresTheLiteral) {
    TQuillEffect fx;
    fx.gainIn1 = fx.centreBoost = fx.serialIndex = fx.lastDisplayCheck = 3;
    fx.sliderValues[1] = 5;
    fx.sampleSlots[0] = 2;
    fx.DoReset();
    EXPECT_EQ(fx.gainIn1, 0);
    EXPECT_EQ(fx.centreBoost, 0);
    EXPECT_EQ(fx.serialIndex, 0);
    EXPECT_EQ(fx.lastDisplayCheck, 0);
    EXPECT_EQ(fx.stringCount, 1.0);
    EXPECT_EQ(fx.strings.at(10000), "Courier New");
    EXPECT_EQ(fx.sliderValues[1], 5);
    EXPECT_EQ(fx.sampleSlots[0], 2);
    // Before any resume every gain is 0: silence.
    EXPECT_EQ(Frame(fx, 0.5, 0.5), std::make_pair(0.0, 0.0));
}

TEST(Crossfader, SliderSectionGains) {
    TQuillEffect fx;
    Open(fx);
    fx.sliderValues[1] = -10;
    fx.sliderValues[6] = 10;
    fx.DoSlider();
    EXPECT_EQ(fx.gainIn1, 0.31622776601683794);
    EXPECT_EQ(fx.gainOut, 3.1622776601683795);
    EXPECT_EQ(fx.gainIn2, 1.0);
    const std::pair<double, double> boosts[] = {{0, 1.0}, {1, 1.0}, {0.5, 1.25}, {0.25, 1.125}};
    for (auto [x, boost] : boosts) {
        fx.sliderValues[3] = x;
        fx.DoSlider();
        EXPECT_EQ(fx.centreBoost, boost) << x;
        EXPECT_EQ(fx.weightIn2, x);
        EXPECT_EQ(fx.weightIn1, 1 - x);
    }
    fx.sliderValues[4] = 1;
    fx.sliderValues[5] = 0.5;
    fx.DoSlider();
    EXPECT_EQ(fx.onIn1, 0);
    EXPECT_EQ(fx.onIn2, 0.5);
}

TEST(Crossfader, MixAtTheCrossfaderPositions) {
    TQuillEffect fx;
    Open(fx);
    EXPECT_EQ(Frame(fx, 0.25, 0.75), std::make_pair(0.25, 0.25)); // defaults: only mono 1
    fx.sliderValues[3] = 1;
    fx.DoSlider();
    EXPECT_EQ(Frame(fx, 0.25, 0.75), std::make_pair(0.75, 0.75));
    fx.sliderValues[3] = 0.5;
    fx.DoSlider();
    const double centre = 0.625 * (0.25 + 0.5);
    EXPECT_DOUBLE_EQ(Frame(fx, 0.25, 0.5).first, centre);
    EXPECT_EQ(Frame(fx, 1, -1), std::make_pair(0.0, 0.0));
    fx.sliderValues[3] = 0.25;
    fx.DoSlider();
    EXPECT_DOUBLE_EQ(Frame(fx, 0.4, 0.8).second, 1.125 * (0.75 * 0.4 + 0.25 * 0.8));
}

TEST(Crossfader, SwitchedOffInputsAreSilentAtEveryPosition) {
    TQuillEffect fx;
    Open(fx);
    fx.sliderValues[4] = 1;
    for (double x : {0.0, 0.3, 0.5, 1.0}) {
        fx.sliderValues[3] = x;
        fx.DoSlider();
        EXPECT_EQ(Frame(fx, 0.9, 0).first, 0.0);
    }
    fx.sliderValues[4] = 0;
    fx.sliderValues[5] = 1;
    fx.sliderValues[3] = 1;
    fx.DoSlider();
    EXPECT_EQ(Frame(fx, 0, 0.9).second, 0.0);
}

TEST(Crossfader, NonFiniteValuesAreAbsorbed) {
    TQuillEffect fx;
    Open(fx);
    fx.sliderValues[3] = 0.5;
    fx.DoSlider();
    auto [left, right] = Frame(fx, INFINITY, 0.5);
    EXPECT_EQ(left, 0.625 * 0.5);
    EXPECT_EQ(right, left);
    EXPECT_EQ(Frame(fx, NAN, NAN), std::make_pair(0.0, 0.0));
    EXPECT_EQ(Frame(fx, 1.7e308, 1.7e308), std::make_pair(0.0, 0.0)); // the sum overflows
    fx.sliderValues[1] = NAN;
    fx.sliderValues[6] = 1e300;
    fx.DoSlider();
    EXPECT_EQ(fx.gainIn1, 0.0);
    EXPECT_EQ(fx.gainOut, 0.0);
}

TEST(Crossfader, SerialiseCarriesSliderNumbersOneToSixtyFour) {
    TQuillEffect fx;
    Open(fx);
    fx.sliderValues[1] = 5;
    fx.sliderValues[3] = 0.33;
    fx.sliderValues[64] = 2;
    fx.sliderValues[65] = 9;
    void* data = nullptr;
    ASSERT_EQ(fx.DoGetChunk(&data, false), 260);
    EXPECT_EQ(fx.serialIndex, 65);
    float floats[65];
    std::memcpy(floats, data, sizeof floats);
    EXPECT_EQ(floats[0], -1000.0f);
    EXPECT_EQ(floats[1], 5.0f);
    EXPECT_EQ(static_cast<double>(floats[3]), 0.33000001311302185);
    EXPECT_EQ(floats[64], 2.0f);

    TQuillEffect other;
    Open(other);
    floats[7] = 7.5f;
    EXPECT_EQ(other.DoSetChunk(floats, 260, false), 260);
    EXPECT_EQ(other.sliderValues[3], 0.33000001311302185);
    EXPECT_EQ(other.sliderValues[7], 7.5);
    EXPECT_EQ(other.sliderValues[65], 0.0);
    EXPECT_EQ(other.weightIn2, 0.33000001311302185); // the slider section ran
    void* again = nullptr;
    other.DoGetChunk(&again, false);
    EXPECT_EQ(static_cast<const float*>(again)[7], 7.5f);
}

TEST(Crossfader, ShortChunkSetsTheLeadingSlidersOnly) {
    TQuillEffect fx;
    Open(fx);
    fx.sliderValues[2] = -3;
    const float chunk[] = {-1000.0f, 2.0f};
    fx.DoSetChunk(chunk, sizeof chunk, false);
    EXPECT_EQ(fx.sliderValues[1], 2);
    EXPECT_EQ(fx.sliderValues[2], -3);
    EXPECT_EQ(fx.gainIn1, std::pow(10.0, 2.0 / 20.0));
}

TEST(Crossfader, BlockSectionWithoutAWrapperStillRuns) {
    TQuillEffect fx;
    Open(fx);
    fx.hostTempo = 100;
    fx.DoBlock();
    EXPECT_EQ(fx.hostTempo, 100); // no time record: kept
    EXPECT_EQ(fx.playState, 0);
    EXPECT_GT(fx.lastDisplayCheck, 1.6e9);
    fx.latencySamples = 12;
    fx.DoBlock();
    EXPECT_EQ(fx.reportedLatency, 12);
}
