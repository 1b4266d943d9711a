#include <cmath>
#include <cstring>

#include "support.h"

using contract::Rig;

TEST(Parameters, NamesLabelsAndDefaults) {
    Rig rig;
    rig->start();
    const char* names[] = {"level mono 1",     "level mono 2",     "crossfader mono 1 / mono 2",
                           "channel 1 on/off", "channel 2 on/off", "output mix level"};
    const char* displays[] = {"0.00", "0.00", "0.00", "on", "on", "0.00"};
    const float normalised[] = {0.5f, 0.5f, 0, 0, 0, 0.5f};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(rig->parameterName(k), names[k]);
        EXPECT_EQ(rig->parameterLabel(k), "");
        EXPECT_EQ(rig->parameterDisplay(k), displays[k]);
        EXPECT_EQ(rig->getParameter(k), normalised[k]);
    }
}

TEST(Parameters, HostValuesAreQuantisedToTheSlidersStep) {
    Rig rig;
    rig->start();
    rig->setParameter(0, 0.75f);
    EXPECT_EQ(rig->parameterDisplay(0), "5.00");
    EXPECT_EQ(rig->getParameter(0), 0.75f);
    rig->setParameter(3, 1.0f);
    EXPECT_EQ(rig->parameterDisplay(3), "off");
    rig->setParameter(3, 0.49f);
    EXPECT_EQ(rig->parameterDisplay(3), "on");
    rig->setParameter(2, 0.333f);
    EXPECT_EQ(rig->parameterDisplay(2), "0.33");
    EXPECT_EQ(rig->getParameter(2), static_cast<float>(33 * 0.01));
    rig->setParameter(5, 0.0f);
    EXPECT_EQ(rig->parameterDisplay(5), "-10.00");
    rig->setParameter(1, 0.7f);
    EXPECT_EQ(rig->parameterDisplay(1), "4.00");
}

TEST(Parameters, ValuesOutsideZeroToOneAreNotClamped) {
    Rig rig;
    rig->start();
    rig->setParameter(0, 1.5f);
    EXPECT_EQ(rig->parameterDisplay(0), "20.00");
    EXPECT_EQ(rig->getParameter(0), 1.5f);
    rig->setParameter(4, -2.0f);
    EXPECT_EQ(rig->parameterDisplay(4), "on");
}

TEST(Parameters, IndexesOutsideTheRangeAreIgnored) {
    Rig rig;
    rig->start();
    for (VstInt32 index : {-1, 6, 7, 1000, -2147483647 - 1}) {
        rig->setParameter(index, 0.9f);
        EXPECT_EQ(rig->getParameter(index), 0.0f);
        for (VstInt32 op : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            char buffer[16] = "untouched";
            rig->dispatch(op, index, 0, buffer);
            EXPECT_STREQ(buffer, "untouched") << op << " " << index;
        }
    }
    const std::vector<std::uint8_t> chunk = rig->getChunk();
    std::vector<float> floats(chunk.size() / 4);
    std::memcpy(floats.data(), chunk.data(), chunk.size());
    for (std::size_t i = 1; i < floats.size(); ++i) EXPECT_EQ(floats[i], 0.0f) << i;
}

TEST(Parameters, NonFiniteValuesAreIgnored) {
    Rig rig;
    rig->start();
    rig->setParameter(0, 0.75f);
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        rig->setParameter(0, bad);
        EXPECT_EQ(rig->parameterDisplay(0), "5.00");
    }
}

TEST(Parameters, DisplayOfLargeValuesIsCutToTheBound) {
    Rig rig;
    rig->start();
    std::vector<std::uint8_t> chunk = rig->getChunk();
    const float huge = 3e38f;
    std::memcpy(chunk.data() + 4, &huge, 4);
    rig->setChunk(chunk);
    char buffer[64];
    std::memset(buffer, 'Z', sizeof buffer);
    rig->dispatch(effGetParamDisplay, 0, 0, buffer);
    EXPECT_EQ(std::strlen(buffer), 31u);
    EXPECT_EQ(buffer[32], 'Z');
}
