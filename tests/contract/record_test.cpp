#include <cstring>

#include "support.h"

using contract::Rig;

TEST(Record, ValuesAfterCreation) {
    Rig rig;
    ASSERT_TRUE(rig.plugin);
    const AEffect* e = rig->effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 6);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 4144);
    EXPECT_EQ(e->uniqueID, 0);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->object, nullptr);
    for (auto fn :
         {reinterpret_cast<const void*>(e->dispatcher), reinterpret_cast<const void*>(e->process),
          reinterpret_cast<const void*>(e->setParameter), reinterpret_cast<const void*>(e->getParameter),
          reinterpret_cast<const void*>(e->processReplacing), reinterpret_cast<const void*>(e->processDoubleReplacing)})
        EXPECT_NE(fn, nullptr);
}

TEST(Record, AllThreeEntryPointsBuildAWorkingInstance) {
    for (const char* name : {"VSTPluginMain", "main", "MAIN"}) {
        ASSERT_NE(contract::TheModule().symbol(name), nullptr) << name;
        Rig rig(name);
        ASSERT_TRUE(rig.plugin) << name;
        EXPECT_EQ(rig->dispatch(effIdentify), 1316373862) << name;
        EXPECT_EQ(rig->text(effGetEffectName), "Morvantide_crossfader_2x_mono") << name;
        EXPECT_EQ(rig->close(), 1);
    }
    EXPECT_EQ(contract::TheModule().entry(), contract::TheModule().symbol("VSTPluginMain"));
}

TEST(Record, HostAnsweringVersionZeroGetsNoEffect) {
    vsthost::Host host;
    host.versionAnswer = 0;
    EXPECT_EQ(host.instantiate(contract::TheModule().entry()), nullptr);
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].opcode, audioMasterVersion);
    EXPECT_FALSE(host.requests[0].withEffect);
    auto entry = contract::TheModule().entry();
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST(Record, DispatcherAnswers) {
    Rig rig;
    auto& p = *rig;
    EXPECT_EQ(p.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(p.dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(p.dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(p.dispatch(effGetTailSize), 0);
    EXPECT_EQ(p.dispatch(effCanBeAutomated, 5), 1);
    EXPECT_EQ(p.dispatch(effSetTotalSampleToProcess, 0, 512), 512);
    EXPECT_EQ(p.dispatch(effGetCurrentMidiProgram), -1);
    char midi[] = "receiveVstMidiEvent", other[] = "sendVstMidiEvent", cut[] = "receiveVstMidiEven";
    EXPECT_EQ(p.dispatch(effCanDo, 0, 0, midi), 4400);
    EXPECT_EQ(p.dispatch(effCanDo, 0, 0, other), -1);
    EXPECT_EQ(p.dispatch(effCanDo, 0, 0, cut), -1);
    EXPECT_EQ(p.dispatch(effCanDo, 0, 0, nullptr), 0);
    EXPECT_EQ(p.dispatch(effProcessEvents, 0, 0, nullptr), 1);
    ERect* rect = nullptr;
    EXPECT_EQ(p.dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(p.dispatch(effEditOpen), 0);
}

TEST(Record, NamesAreReportedWithinTheirBounds) {
    Rig rig;
    auto& p = *rig;
    EXPECT_EQ(p.dispatch(effGetEffectName, 0, 0, nullptr), 0);
    struct Case {
        VstInt32 opcode;
        std::size_t bound;
        const char* expected;
    };
    const Case cases[] = {{effGetEffectName, 32, "Morvantide_crossfader_2x_mono"},
                          {effGetVendorString, 64, "Morvantide"},
                          {effGetProductString, 64, "Morvantide_crossfader_2x_mono"},
                          {effGetProgramName, 24, "Morvantide_crossfader_"},
                          {effGetParamName, 32, "level mono 1"}};
    for (const Case& c : cases) {
        char buffer[128];
        std::memset(buffer, 'Z', sizeof buffer);
        p.dispatch(c.opcode, 0, 0, buffer);
        const std::size_t length = std::strlen(buffer);
        EXPECT_LT(length, c.bound) << c.opcode;
        for (std::size_t i = c.bound; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 'Z') << c.opcode;
        EXPECT_EQ(std::string(buffer).substr(0, std::strlen(c.expected)), c.expected) << c.opcode;
    }
    EXPECT_EQ(p.text(effGetProgramName), "Morvantide_crossfader_2");
    EXPECT_EQ(p.text(effGetProgramName).size(), 23u);
}

TEST(Record, ProgramNameCanBeReplaced) {
    Rig rig;
    char name[] = "Second take";
    rig->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(rig->text(effGetProgramName), "Second take");
    EXPECT_EQ(rig->text(effGetEffectName), "Morvantide_crossfader_2x_mono");
    char unterminated[24];
    std::memset(unterminated, 'q', sizeof unterminated);
    rig->dispatch(effSetProgramName, 0, 0, unterminated);
    EXPECT_EQ(rig->text(effGetProgramName), std::string(23, 'q'));
    char indexed[8] = "keep";
    EXPECT_EQ(rig->dispatch(effGetProgramNameIndexed, 0, 0, indexed), 0);
    EXPECT_STREQ(indexed, "keep");
}

TEST(Record, CloseAnswersOne) {
    Rig rig;
    rig->open();
    EXPECT_EQ(rig->close(), 1);
}
