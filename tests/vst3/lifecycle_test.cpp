// Lifetime and order: references, the interfaces the object answers for,
// buses and arrangements, and calls a host makes out of order or with
// nonsense, which are refused without a crash.
#include <functional>

#include "support.h"

using namespace vst3test;

namespace {

IComponent* Create() {
    PClassInfo info{};
    void* object = nullptr;
    if (Bundle().factory()->getClassInfo(0, &info) != kResultOk ||
        Bundle().factory()->createInstance(info.cid, IComponent::iid.bytes, &object) != kResultOk)
        return nullptr;
    return static_cast<IComponent*>(object);
}

template <class Interface>
Interface* Query(FUnknown* object) {
    void* found = nullptr;
    return object->queryInterface(Interface::iid.bytes, &found) == kResultOk ? static_cast<Interface*>(found) : nullptr;
}

// Parameter changes that call back into the plug-in while it reads them, from inside process.
class CallingBack final : public vst3host::HostObject<IParameterChanges> {
public:
    std::function<void()> during;
    int32 PLUGIN_API getParameterCount() override {
        if (during) during();
        return 0;
    }
    IParamValueQueue* PLUGIN_API getParameterData(int32) override { return nullptr; }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID*, int32*) override { return nullptr; }
};

} // namespace

TEST(Lifecycle, QueryInterfaceAnswersExactlyTheImplementedIds) {
    IComponent* component = Create();
    ASSERT_NE(component, nullptr);
    auto* controller = Query<IEditController>(component);
    auto* processor = Query<IAudioProcessor>(component);
    auto* requirements = Query<IProcessContextRequirements>(component);
    auto* base = Query<IPluginBase>(component);
    ASSERT_TRUE(controller && processor && requirements && base);
    EXPECT_TRUE(base == static_cast<IPluginBase*>(component) || base == static_cast<IPluginBase*>(controller));
    // FUnknown is one pointer whichever interface is asked.
    for (FUnknown* from : std::vector<FUnknown*>{component, controller, processor, requirements}) {
        FUnknown* identity = Query<FUnknown>(from);
        EXPECT_EQ(identity, static_cast<FUnknown*>(component));
        identity->release();
        EXPECT_EQ(Query<IComponent>(from), component);
        component->release();
    }
    const Uid others[] = {IConnectionPoint::iid, IPluginFactory::iid,    IBStream::iid,
                          IPlugView::iid,        IMessage::iid,          IParameterChanges::iid,
                          IHostApplication::iid, IComponentHandler::iid, Uid::Make(0x12345678, 0, 0, 1)};
    for (const Uid& id : others) {
        void* found = &found;
        EXPECT_EQ(controller->queryInterface(id.bytes, &found), kNoInterface);
        EXPECT_EQ(found, nullptr);
    }
    void* found = &found;
    EXPECT_EQ(component->queryInterface(nullptr, &found), kNoInterface);
    EXPECT_NE(component->queryInterface(IComponent::iid.bytes, nullptr), kResultOk);
    for (FUnknown* f : std::vector<FUnknown*>{base, requirements, processor, controller}) f->release();
    EXPECT_EQ(component->release(), 0u);
}

TEST(Lifecycle, ReferencesAreCountedAndTheLastReleaseFreesWhatWasKept) {
    IComponent* component = Create();
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->addRef(), 2u);
    EXPECT_EQ(component->release(), 1u);
    auto* controller = Query<IEditController>(component);
    EXPECT_EQ(controller->addRef(), 3u);
    EXPECT_EQ(controller->release(), 2u);

    // The one object is initialized as component and as controller; the second terminate ends it.
    vst3host::HostApplication application;
    vst3host::ComponentHandler first, second;
    EXPECT_EQ(component->initialize(&application), kResultOk);
    EXPECT_EQ(controller->initialize(&application), kResultOk);
    EXPECT_EQ(application.references(), 1);
    EXPECT_EQ(controller->setComponentHandler(&first), kResultOk);
    EXPECT_EQ(controller->setComponentHandler(&first), kResultOk);
    EXPECT_EQ(first.references(), 1);
    EXPECT_EQ(controller->setComponentHandler(&second), kResultOk);
    EXPECT_EQ(first.references(), 0);
    EXPECT_EQ(controller->terminate(), kResultOk);
    EXPECT_EQ(application.references(), 1);
    EXPECT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(application.references(), 0);
    EXPECT_EQ(second.references(), 0);
    EXPECT_NE(component->terminate(), kResultOk);

    // Without terminate, the last release still lets go of what the object kept.
    EXPECT_EQ(component->initialize(&application), kResultOk);
    EXPECT_EQ(controller->setComponentHandler(&first), kResultOk);
    EXPECT_EQ(controller->release(), 1u);
    EXPECT_EQ(application.references(), 1);
    EXPECT_EQ(component->release(), 0u);
    EXPECT_EQ(application.references(), 0);
    EXPECT_EQ(first.references(), 0);
}

TEST(Lifecycle, OneStereoBusEachWayAndNoOtherArrangement) {
    Vst3 rig;
    ASSERT_TRUE(rig.ok());
    IComponent* c = rig.component;
    IAudioProcessor* p = rig.processor;
    EXPECT_EQ(c->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
    for (BusDirection dir : {kInput, kOutput}) {
        BusInfo bus{};
        ASSERT_EQ(c->getBusInfo(kAudio, dir, 0, &bus), kResultOk);
        EXPECT_EQ(bus.mediaType, kAudio);
        EXPECT_EQ(bus.direction, dir);
        EXPECT_EQ(bus.channelCount, 2);
        EXPECT_EQ(bus.busType, kMain);
        EXPECT_EQ(bus.flags, BusInfo::kDefaultActive);
        EXPECT_FALSE(vst3host::Narrow(bus.name, 128).empty());
        EXPECT_EQ(c->getBusInfo(kAudio, dir, 1, &bus), kInvalidArgument);
        EXPECT_EQ(c->getBusInfo(kEvent, dir, 0, &bus), kInvalidArgument);
        EXPECT_EQ(c->getBusInfo(kAudio, dir, 0, nullptr), kInvalidArgument);
        EXPECT_EQ(c->activateBus(kAudio, dir, 0, 1), kResultOk);
        EXPECT_EQ(c->activateBus(kEvent, dir, 0, 1), kInvalidArgument);
    }
    EXPECT_EQ(c->getBusInfo(kAudio, 2, 0, nullptr), kInvalidArgument);

    SpeakerArrangement stereo[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement mono = SpeakerArr::kMono, left = kSpeakerL;
    EXPECT_EQ(p->setBusArrangements(&stereo[0], 1, &stereo[1], 1), kResultTrue);
    EXPECT_EQ(p->setBusArrangements(&mono, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(p->setBusArrangements(&left, 1, &stereo[1], 1), kResultFalse);
    EXPECT_EQ(p->setBusArrangements(stereo, 2, &stereo[1], 1), kResultFalse);
    EXPECT_EQ(p->setBusArrangements(nullptr, 1, nullptr, 1), kResultFalse);
    EXPECT_EQ(p->setBusArrangements(nullptr, 0, nullptr, 0), kResultFalse);
    for (BusDirection dir : {kInput, kOutput}) {
        SpeakerArrangement kept = 0;
        EXPECT_EQ(p->getBusArrangement(dir, 0, &kept), kResultOk);
        EXPECT_EQ(kept, SpeakerArr::kStereo);
        EXPECT_EQ(p->getBusArrangement(dir, 1, &kept), kInvalidArgument);
        EXPECT_EQ(p->getBusArrangement(dir, 0, nullptr), kInvalidArgument);
    }
    EXPECT_EQ(p->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(-1), kResultFalse);
    EXPECT_EQ(c->setIoMode(kAdvanced), kNotImplemented);
    RoutingInfo in{}, out{};
    EXPECT_EQ(c->getRoutingInfo(&in, &out), kNotImplemented);
    EXPECT_EQ(rig.controller->createView("editor"), nullptr);
}

TEST(Lifecycle, CallsOutOfOrderAreRefusedAndChangeNothing) {
    auto in = Input<float>(1, 64);
    auto out = Output<float>(64);
    const auto untouched = out;
    {
        // Before initialize: nothing but the object itself.
        IComponent* c = Create();
        ASSERT_NE(c, nullptr);
        auto* p = Query<IAudioProcessor>(c);
        ProcessSetup setup{kRealtime, kSample32, 512, 44100.0};
        EXPECT_NE(p->setupProcessing(&setup), kResultOk);
        EXPECT_NE(c->setActive(1), kResultOk);
        EXPECT_NE(p->setProcessing(1), kResultOk);
        vst3host::MemoryStream stream(Chunk({kMarker, 1.0f}));
        EXPECT_NE(c->setState(&stream), kResultOk);
        // A scanner stops what it never started.
        EXPECT_EQ(p->setProcessing(0), kResultOk);
        EXPECT_EQ(c->setActive(0), kResultOk);
        p->release();
        c->release();
    }
    Vst3 rig;
    ASSERT_TRUE(rig.ok());
    EXPECT_NE(rig.component->setActive(1), kResultOk) << "active before any setup";
    EXPECT_NE(rig.processor->setProcessing(1), kResultOk) << "processing while inactive";
    EXPECT_NE(rig.process(in, out), kResultOk);
    for (ProcessSetup bad :
         {ProcessSetup{kRealtime, kSample32, 0, 44100.0}, ProcessSetup{kRealtime, 2, 512, 44100.0},
          ProcessSetup{kRealtime, kSample32, 512, 0.0}, ProcessSetup{kRealtime, kSample32, 512, NAN}})
        EXPECT_NE(rig.processor->setupProcessing(&bad), kResultOk);
    EXPECT_EQ(rig.processor->setupProcessing(nullptr), kInvalidArgument);
    ASSERT_EQ(rig.setup(44100.0, 512), kResultOk);
    ASSERT_EQ(rig.component->setActive(1), kResultOk);
    EXPECT_NE(rig.process(in, out), kResultOk) << "process before setProcessing";
    EXPECT_EQ(rig.setup(48000.0, 512), kResultFalse) << "setup while active";
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    EXPECT_EQ(rig.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultFalse) << "arrangements while active";
    EXPECT_TRUE(SameBits(out, untouched));
    ASSERT_EQ(rig.processor->setProcessing(1), kResultOk);
    EXPECT_EQ(rig.process(in, out), kResultOk);
    EXPECT_FALSE(SameBits(out, untouched));
    out = untouched;
    ASSERT_EQ(rig.component->setActive(0), kResultOk);
    EXPECT_NE(rig.process(in, out), kResultOk) << "process after deactivation";
    EXPECT_TRUE(SameBits(out, untouched));
}

TEST(Lifecycle, NonsenseProcessDataNeverCrashesNorWritesOutsideTheBuffers) {
    Vst3 rig;
    ASSERT_TRUE(rig.start(44100.0, 64));
    float a[64] = {}, b[64] = {}, c[64], d[64];
    std::fill(std::begin(c), std::end(c), 7.0f);
    std::fill(std::begin(d), std::end(d), 7.0f);
    float* ins[2] = {a, b};
    float* outs[2] = {c, d};
    float* missing[2] = {a, nullptr};
    AudioBusBuffers inBus{}, outBus{}, holey{}, single{};
    inBus.numChannels = outBus.numChannels = holey.numChannels = 2;
    single.numChannels = 1;
    inBus.channelBuffers32 = ins;
    outBus.channelBuffers32 = outs;
    holey.channelBuffers32 = missing;
    single.channelBuffers32 = ins;
    EXPECT_EQ(rig.processor->process(nullptr), kInvalidArgument);
    auto call = [&](int32 frames, AudioBusBuffers* input, AudioBusBuffers* output, int32 size = kSample32) {
        ProcessData data{};
        data.symbolicSampleSize = size;
        data.numSamples = frames;
        data.numInputs = input ? 1 : 0;
        data.numOutputs = output ? 1 : 0;
        data.inputs = input;
        data.outputs = output;
        return rig.processor->process(&data);
    };
    EXPECT_EQ(call(-5, &inBus, &outBus), kResultOk);
    EXPECT_EQ(call(0, nullptr, nullptr), kResultOk);
    EXPECT_EQ(call(64, nullptr, nullptr), kResultOk);
    EXPECT_EQ(call(64, &holey, &holey), kResultOk);
    EXPECT_EQ(call(64, &single, &single), kResultOk);
    EXPECT_NE(call(64, &inBus, &outBus, 9), kResultOk);
    EXPECT_EQ(c[0], 7.0f) << "no call above had an output to write";
    // Output without input: silence, marked as such.
    EXPECT_EQ(call(64, &holey, &outBus), kResultOk);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(d[63], 0.0f);
    EXPECT_EQ(outBus.silenceFlags, 3u);
}

// A host that stops, loads and deactivates from inside process: those calls
// cannot have the effect until process ends, so after a wait they are
// refused or left pending, never awaited for ever.
TEST(Lifecycle, CallsFromInsideProcessAreNeverAwaitedForEver) {
    Vst3 rig;
    ASSERT_TRUE(rig.start(48000.0, 64));
    auto in = Input<float>(1, 64);
    auto out = Output<float>(64);
    const auto state = Chunk({kMarker, 3.0f});
    CallingBack host;
    tresult stopped = kResultFalse, loaded = kResultFalse, deactivated = kResultOk;
    host.during = [&] {
        stopped = rig.processor->setProcessing(0);
        vst3host::MemoryStream stream(state);
        loaded = rig.component->setState(&stream);
        deactivated = rig.component->setActive(0);
    };
    EXPECT_EQ(rig.process(in, out, &host), kResultOk);
    EXPECT_EQ(stopped, kResultOk);
    EXPECT_EQ(loaded, kResultOk) << "the state waits, as one loaded while processing does";
    EXPECT_EQ(deactivated, kResultFalse);
    host.during = nullptr;
    ASSERT_EQ(rig.component->setActive(1), kResultOk);
    ASSERT_EQ(rig.processor->setProcessing(1), kResultOk);
    EXPECT_EQ(rig.process(in, out), kResultOk);
    EXPECT_EQ(Element(rig.getState(), 1), 3.0f);
}
