#include <gtest/gtest.h>

#include <cstring>

#include "fake_host.h"
#include "plugin/vst2/brio.h"

namespace {

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        FakeHost::Reset();
        BrioCallbackTable table;
        std::memset(&table, 0, sizeof table);
        brio = CBrio::Create(nullptr, table, FakeHost::Callback, 1, 6);
        ASSERT_NE(brio, nullptr);
        e = brio->getAeffect();
    }
    void TearDown() override {
        if (e) e->dispatcher(e, effClose, 0, 0, nullptr, 0);
    }
    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }
    CBrio* brio = nullptr;
    AEffect* e = nullptr;
};

} // namespace

TEST_F(Dispatcher, FixedAnswers) {
    EXPECT_EQ(Dispatch(effIdentify), 1316373862);
    EXPECT_EQ(Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(Dispatch(effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(Dispatch(effGetTailSize), 0);
    EXPECT_EQ(Dispatch(effCanBeAutomated, 0), 1);
    EXPECT_EQ(Dispatch(effCanBeAutomated, 99), 1);
    EXPECT_EQ(Dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(Dispatch(effSetTotalSampleToProcess, 0, 512), 512);
    char text[] = "0.5";
    EXPECT_EQ(Dispatch(effString2Parameter, 0, 0, text), 0);
}

TEST_F(Dispatcher, EveryOtherOpcodeAnswersZeroAndTouchesNothing) {
    const VstInt32 zeroes[] = {9,  16, 17, 18, 20, 21, 28, 30, 31, 32, 33, 34, 36, 37,  38,    39, 40,
                               41, 42, 43, 44, 46, 50, 53, 54, 55, 56, 57, 59, 60, 61,  62,    64, 65,
                               66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 78, 79, 80, 100, 12345, -1, -100000};
    char buffer[64];
    for (VstInt32 op : zeroes) {
        std::memset(buffer, 0x5A, sizeof buffer);
        EXPECT_EQ(Dispatch(op, 1, 0, buffer, 1.0f), 0) << "opcode " << op;
        for (char c : buffer) ASSERT_EQ(c, 0x5A) << "opcode " << op;
    }
    EXPECT_EQ(e->flags, 16 + 4096);
}

TEST_F(Dispatcher, EditorRequestsLeaveTheHostsPointersAlone) {
    ERect* rect = reinterpret_cast<ERect*>(0x1234);
    EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(0x1234));
    EXPECT_EQ(Dispatch(effEditOpen, 0, 0, &rect), 0);
    EXPECT_EQ(Dispatch(effEditIdle), 0);
    EXPECT_EQ(Dispatch(effEditClose), 0);
    EXPECT_EQ(Dispatch(effEditKeyDown, 0, 'a'), 0);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
}

TEST_F(Dispatcher, ProgramSelectionKeepsOnlyRealPrograms) {
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(Dispatch(effGetProgram), 0);
}

TEST_F(Dispatcher, SpeakerArrangementIsClearedThroughBothPointers) {
    void* input = reinterpret_cast<void*>(0x10);
    void* output = reinterpret_cast<void*>(0x20);
    EXPECT_EQ(Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, NullTextAndChunkPointersAreIgnored) {
    for (VstInt32 op :
         {effGetProgramName, effSetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName, effGetEffectName,
          effGetVendorString, effGetProductString, effCanDo, effGetChunk, effGetProgramNameIndexed})
        EXPECT_EQ(Dispatch(op, 0, 0, nullptr), 0) << "opcode " << op;
}

TEST_F(Dispatcher, RecordsThatAreNotOursGetNeutralAnswers) {
    AEffect copy = *e;
    EXPECT_EQ(copy.dispatcher(&copy, effIdentify, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
    copy.setParameter(&copy, 0, 1.0f);
    float sample = 2.0f, *channel = &sample;
    copy.processReplacing(&copy, &channel, &channel, 1);
    EXPECT_EQ(sample, 2.0f);
    EXPECT_EQ(copy.dispatcher(&copy, effClose, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0), 0);
    copy.magic = 0;
    copy.object = e->object;
    EXPECT_EQ(copy.dispatcher(&copy, effIdentify, 0, 0, nullptr, 0), 0);
}

TEST_F(Dispatcher, AccumulatingProcessLeavesOutputsAsTheyAre) {
    float in = 1.0f, out = 3.0f, *inputs = &in, *outputs = &out;
    e->process(e, &inputs, &outputs, 1);
    EXPECT_EQ(out, 3.0f);
}

TEST_F(Dispatcher, CloseAnswersOne) {
    EXPECT_EQ(Dispatch(effClose), 1);
    e = nullptr;
}
