#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "effect/tquill_effect.h"
#include "fake_host.h"
#include "plugin/vst2/brio.h"
#include "runtime/brio_host.h"

namespace {

// A table of test callbacks that records which slots ran.
struct Calls {
    static inline std::vector<std::string> log;
};

void Init(BrioInstance* b) {
    Calls::log.push_back("init");
    BrioSetNumInputs(b, 2);
    BrioSetNumOutputs(b, 2);
    BrioSetUniqueID(b, 0);
    BrioProgramsAreChunks(b, true);
}
void Destroy(BrioInstance*) { Calls::log.push_back("destroy"); }
void Open(BrioInstance*) { Calls::log.push_back("open"); }
void Suspend(BrioInstance*) { Calls::log.push_back("suspend"); }
void Resume(BrioInstance*) { Calls::log.push_back("resume"); }
void Close(BrioInstance*) { Calls::log.push_back("close"); }
VstInt32 VendorVersion(BrioInstance*) { return 1000; }
VstInt32 Name(BrioInstance*, char* text) { return std::strcpy(text, "name"), 1; }
double GetParameter(BrioInstance*, VstInt32 index) { return 0.25 * index; }
void SetParameter(BrioInstance*, VstInt32 index, double value) {
    Calls::log.push_back("set " + std::to_string(index) + " " + std::to_string(value));
}
VstInt32 GetChunk(BrioInstance*, void** data, bool preset) {
    static char bytes[8];
    *data = bytes;
    Calls::log.push_back(preset ? "get preset" : "get bank");
    return 8;
}
VstInt32 SetChunk(BrioInstance*, void*, VstInt32 size, bool) { return size; }

BrioCallbackTable FullTable() {
    BrioCallbackTable t;
    std::memset(&t, 0, sizeof t);
    t.init = Init;
    t.destroy = Destroy;
    t.open = Open;
    t.suspend = Suspend;
    t.resume = Resume;
    t.close = Close;
    t.getVendorVersion = VendorVersion;
    t.getEffectName = Name;
    t.getVendorString = Name;
    t.getProductString = Name;
    t.getParameter = GetParameter;
    t.setParameter = SetParameter;
    t.getChunk = GetChunk;
    t.setChunk = SetChunk;
    return t;
}

BrioCallbackTable EmptyTable() {
    BrioCallbackTable t;
    std::memset(&t, 0, sizeof t);
    return t;
}

class Wrapper : public ::testing::Test {
protected:
    void SetUp() override {
        FakeHost::Reset();
        Calls::log.clear();
    }
    VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0) {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }
};

} // namespace

TEST_F(Wrapper, HostAnsweringVersionZeroRefusesTheLoad) {
    FakeHost::version = 0;
    EXPECT_EQ(CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6), nullptr);
    ASSERT_EQ(FakeHost::log.size(), 1u);
    EXPECT_EQ(FakeHost::log[0].opcode, audioMasterVersion);
    EXPECT_EQ(FakeHost::log[0].effect, nullptr);
    EXPECT_TRUE(Calls::log.empty());
    EXPECT_EQ(CBrio::Create(nullptr, FullTable(), nullptr, 1, 6), nullptr);
}

TEST_F(Wrapper, RecordAfterCreationCarriesWhatInitSet) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    ASSERT_NE(brio, nullptr);
    AEffect* e = brio->getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->flags, 4144);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 6);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, 0);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->object, brio);
    EXPECT_EQ(Calls::log, std::vector<std::string>{"init"});
    EXPECT_EQ(Dispatch(e, effClose), 1);
    EXPECT_EQ(Calls::log, (std::vector<std::string>{"init", "close", "destroy"}));
}

TEST_F(Wrapper, EmptyTableAnswersZeroEverywhere) {
    CBrio* brio = CBrio::Create(nullptr, EmptyTable(), FakeHost::Callback, 1, 6);
    ASSERT_NE(brio, nullptr);
    AEffect* e = brio->getAeffect();
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    char text[8] = "keep";
    EXPECT_EQ(Dispatch(e, effGetEffectName, 0, 0, text), 0);
    EXPECT_EQ(Dispatch(e, effGetVendorVersion), 0);
    void* data = nullptr;
    EXPECT_EQ(Dispatch(e, effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(Dispatch(e, effSetChunk, 0, 4, text), 0);
    EXPECT_EQ(e->getParameter(e, 0), 0.0f);
    e->setParameter(e, 0, 0.5f);
    float sample = 1.5f, *channel = &sample;
    e->processReplacing(e, &channel, &channel, 1);
    EXPECT_EQ(sample, 1.5f);
    EXPECT_STREQ(text, "keep");
    Dispatch(e, effOpen);
    Dispatch(e, effMainsChanged, 0, 1);
    EXPECT_EQ(Dispatch(e, effClose), 1);
}

TEST_F(Wrapper, ForwardsEachRequestToItsSlot) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    AEffect* e = brio->getAeffect();
    Dispatch(e, effOpen);
    Dispatch(e, effMainsChanged, 0, 1);
    Dispatch(e, effMainsChanged, 0, 0);
    e->setParameter(e, 3, 0.5f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 2), 0.5f);
    char text[16] = {};
    EXPECT_EQ(Dispatch(e, effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "name");
    EXPECT_EQ(Dispatch(e, effGetVendorVersion), 1000);
    void* data = nullptr;
    EXPECT_EQ(Dispatch(e, effGetChunk, 1, 0, &data), 8);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(Dispatch(e, effGetChunk, 0, 0, &data), 8);
    EXPECT_EQ(Dispatch(e, effSetChunk, 0, 12, text), 12);
    EXPECT_EQ(Calls::log, (std::vector<std::string>{"init", "open", "resume", "suspend", "set 3 0.500000", "get preset",
                                                    "get bank"}));
    Dispatch(e, effClose);
}

TEST_F(Wrapper, CanDoMatchesOnlyTheMidiInputText) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    AEffect* e = brio->getAeffect();
    char midi[] = "receiveVstMidiEvent", send[] = "sendVstMidiEvent", cut[] = "receiveVstMidiEven",
         longer[] = "receiveVstMidiEvents";
    EXPECT_EQ(Dispatch(e, effCanDo, 0, 0, midi), 4400);
    EXPECT_EQ(e->flags, 4144); // the answer does not change the record
    EXPECT_EQ(Dispatch(e, effCanDo, 0, 0, send), -1);
    EXPECT_EQ(Dispatch(e, effCanDo, 0, 0, cut), -1);
    EXPECT_EQ(Dispatch(e, effCanDo, 0, 0, longer), -1);
    EXPECT_EQ(Dispatch(e, effCanDo, 0, 0, nullptr), 0);
    Dispatch(e, effClose);
}

TEST_F(Wrapper, ResumeNeverAsksForMidiAndEventsAreAcknowledged) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    AEffect* e = brio->getAeffect();
    FakeHost::log.clear();
    Dispatch(e, effMainsChanged, 0, 1);
    for (const auto& r : FakeHost::log) EXPECT_NE(r.opcode, audioMasterWantMidi);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    EXPECT_EQ(Dispatch(e, effProcessEvents, 0, 0, &events), 1);
    EXPECT_EQ(Dispatch(e, effProcessEvents, 0, 0, nullptr), 1);
    Dispatch(e, effClose);
}

TEST_F(Wrapper, ServicesWithoutAWrapperAnswerZero) {
    double tempo = 7;
    EXPECT_EQ(BrioGetAEffect(static_cast<CBrio*>(nullptr)), nullptr);
    EXPECT_EQ(BrioGetNumInputs(nullptr), 0);
    EXPECT_EQ(BrioSetNumInputs(nullptr, 2), 0);
    EXPECT_EQ(BrioProgramsAreChunks(nullptr, true), 0);
    EXPECT_EQ(BrioGetSampleRate(nullptr), 0.0f);
    EXPECT_EQ(BrioGetBlockSize(nullptr), 0);
    EXPECT_EQ(BrioGetTempo(nullptr), 0.0);
    EXPECT_EQ(BrioIsPlaying(nullptr), 0);
    EXPECT_EQ(BrioGetTempoAndSignature(nullptr, &tempo, nullptr, nullptr), 0);
    EXPECT_EQ(tempo, 7);
    EXPECT_EQ(BrioUpdateDisplay(nullptr), 0);
    EXPECT_EQ(BrioSetInitialDelay(nullptr, 5), 0);
    EXPECT_TRUE(FakeHost::log.empty());
}

TEST_F(Wrapper, TimeServicesAskTheHostEveryTimeWithTheirFilters) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    FakeHost::time.tempo = 133.5;
    FakeHost::time.ppqPos = 17.25;
    FakeHost::time.timeSigNumerator = 7;
    FakeHost::time.timeSigDenominator = 8;
    FakeHost::time.flags = kVstTransportPlaying; // validity bits are not consulted
    FakeHost::log.clear();
    EXPECT_EQ(BrioGetTempo(brio), 133.5);
    EXPECT_EQ(BrioIsPlaying(brio), 1);
    EXPECT_EQ(BrioIsRecording(brio), 0);
    EXPECT_EQ(BrioGetPpqPos(brio), 17.25);
    double tempo = 0, numerator = 0, denominator = 0;
    EXPECT_EQ(BrioGetTempoAndSignature(brio, &tempo, &numerator, &denominator), 1);
    EXPECT_EQ(BrioGetTempoAndSignature(brio, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(tempo, 133.5);
    EXPECT_EQ(numerator, 7);
    EXPECT_EQ(denominator, 8);
    std::vector<VstIntPtr> filters;
    for (const auto& r : FakeHost::log) {
        EXPECT_EQ(r.opcode, audioMasterGetTime);
        EXPECT_EQ(r.effect, brio->getAeffect());
        filters.push_back(r.value);
    }
    EXPECT_EQ(filters, (std::vector<VstIntPtr>{1024, 2, 8, 512, 9216, 9216}));

    FakeHost::time.flags = kVstTransportRecording;
    EXPECT_EQ(BrioIsPlaying(brio), 0);
    EXPECT_EQ(BrioIsRecording(brio), 1);

    FakeHost::giveTime = false;
    tempo = 5;
    EXPECT_EQ(BrioGetTempo(brio), 0.0);
    EXPECT_EQ(BrioIsPlaying(brio), 0);
    EXPECT_EQ(BrioGetPpqPos(brio), 0.0);
    EXPECT_EQ(BrioGetTempoAndSignature(brio, &tempo, &numerator, &denominator), 0);
    EXPECT_EQ(tempo, 5);
    brio->getAeffect()->dispatcher(brio->getAeffect(), effClose, 0, 0, nullptr, 0);
}

TEST_F(Wrapper, StoredRateBlockSizeDelayAndDisplay) {
    CBrio* brio = CBrio::Create(nullptr, FullTable(), FakeHost::Callback, 1, 6);
    AEffect* e = brio->getAeffect();
    EXPECT_EQ(BrioGetSampleRate(brio), 44100.0f);
    EXPECT_EQ(BrioGetBlockSize(brio), 1024);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    Dispatch(e, effSetBlockSize, 0, 64);
    EXPECT_EQ(BrioGetSampleRate(brio), 96000.0f);
    EXPECT_EQ(BrioGetBlockSize(brio), 64);
    FakeHost::log.clear();
    EXPECT_EQ(BrioSetInitialDelay(brio, 32), 1);
    EXPECT_EQ(e->initialDelay, 32);
    EXPECT_TRUE(FakeHost::log.empty()); // the host is not told
    EXPECT_EQ(BrioUpdateDisplay(brio), 1);
    FakeHost::displayAnswer = 0;
    EXPECT_EQ(BrioUpdateDisplay(brio), 0);
    EXPECT_EQ(FakeHost::log.back().opcode, audioMasterUpdateDisplay);
    Dispatch(e, effClose);
}

// The crossfader behind the real table reads, at each resume, the rate and
// block size the host set before it; 44100 and 1024 when the host set none.
TEST_F(Wrapper, InitSectionReadsTheRateSetBeforeResume) {
    TQuill* effect = BrioNewEffect();
    CBrio* brio = CBrio::Create(effect, BrioMakeCallbackTable(), FakeHost::Callback, 1, 6);
    ASSERT_NE(brio, nullptr);
    effect->wrapper = brio;
    const auto& fx = *static_cast<TQuillEffect*>(effect);
    AEffect* e = brio->getAeffect();
    Dispatch(e, effOpen);
    Dispatch(e, effMainsChanged, 0, 1);
    EXPECT_EQ(fx.hostSampleRate, 44100.0);
    EXPECT_EQ(fx.hostBlockSize, 1024.0);
    Dispatch(e, effMainsChanged, 0, 0);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    Dispatch(e, effSetBlockSize, 0, 64);
    EXPECT_EQ(fx.hostSampleRate, 44100.0); // stored only, until the next resume
    Dispatch(e, effMainsChanged, 0, 1);
    EXPECT_EQ(fx.hostSampleRate, 96000.0);
    EXPECT_EQ(fx.hostBlockSize, 64.0);
    Dispatch(e, effClose);
}
