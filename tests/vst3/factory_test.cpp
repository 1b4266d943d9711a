// The module as a host first meets it: its entry, the factory and the class
// it lists, and every table's method order, called by slot number.
#include "quill_version.h"
#include "support.h"

using namespace vst3test;

namespace {

// The class ID's text form 8DDC72614F5AF6D5BFBEB04DFCEA110D, fixed for good, in this platform's memory order.
#if defined(_WIN32)
const unsigned char kClassId[16] = {0x61, 0x72, 0xDC, 0x8D, 0x5A, 0x4F, 0xD5, 0xF6,
                                    0xBF, 0xBE, 0xB0, 0x4D, 0xFC, 0xEA, 0x11, 0x0D};
#else
const unsigned char kClassId[16] = {0x8D, 0xDC, 0x72, 0x61, 0x4F, 0x5A, 0xF6, 0xD5,
                                    0xBF, 0xBE, 0xB0, 0x4D, 0xFC, 0xEA, 0x11, 0x0D};
#endif
const char* ClassId() { return reinterpret_cast<const char*>(kClassId); }

std::string Vst2EffectName() {
    Vst2 reference;
    return reference.plugin->text(effGetEffectName);
}

// A table entry called by its number, as a host that knows only the slot list does.
#if defined(_WIN32) && !defined(_WIN64)
#define SLOT_API __stdcall
#else
#define SLOT_API
#endif
template <class Result, class... Args>
Result Slot(void* object, int slot, Args... args) {
    using Entry = Result(SLOT_API*)(void*, Args...);
    return (*static_cast<Entry**>(object))[slot](object, args...);
}

} // namespace

TEST(Factory, EntryAndFactoryInfo) {
    ASSERT_TRUE(Bundle().ok()) << Bundle().error();
    auto get = reinterpret_cast<IPluginFactory*(PLUGIN_API*)()>(Bundle().symbol("GetPluginFactory"));
    ASSERT_NE(get, nullptr);
    IPluginFactory* again = get();
    EXPECT_EQ(again, Bundle().factory()) << "one factory, handed out again";
    again->release();

    PFactoryInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(Bundle().factory()->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Morvantide");
    EXPECT_STREQ(info.url, "");
    EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
    EXPECT_EQ(Bundle().factory()->getFactoryInfo(nullptr), kInvalidArgument);
    EXPECT_EQ(Bundle().factory()->countClasses(), 1);
}

TEST(Factory, OneAudioModuleClassDescribedAlikeInEveryForm) {
    IPluginFactory* factory = Bundle().factory();
    ASSERT_NE(factory, nullptr);
    const std::string name = Vst2EffectName();
    EXPECT_EQ(name, "Morvantide_crossfader_2x_mono");

    PClassInfo info{};
    ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
    EXPECT_EQ(std::memcmp(info.cid, kClassId, 16), 0);
    EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_EQ(std::string(info.name), name);

    void* object = nullptr;
    ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid.bytes, &object), kResultOk);
    auto* factory3 = static_cast<IPluginFactory3*>(object);
    PClassInfo2 info2{};
    ASSERT_EQ(factory3->getClassInfo2(0, &info2), kResultOk);
    EXPECT_EQ(std::memcmp(info2.cid, kClassId, 16), 0);
    EXPECT_STREQ(info2.category, "Audio Module Class");
    EXPECT_EQ(std::string(info2.name), name);
    EXPECT_STREQ(info2.subCategories, "Fx");
    EXPECT_STREQ(info2.vendor, "Morvantide");
    EXPECT_STREQ(info2.version, QUILL_VERSION);
    EXPECT_EQ(std::string(info2.sdkVersion).rfind("VST 3.", 0), 0u) << info2.sdkVersion;
    PClassInfoW infoW{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
    EXPECT_EQ(std::memcmp(infoW.cid, kClassId, 16), 0);
    EXPECT_EQ(vst3host::Narrow(infoW.name, 64), name);
    EXPECT_EQ(vst3host::Narrow(infoW.vendor, 64), "Morvantide");
    EXPECT_EQ(vst3host::Narrow(infoW.version, 64), QUILL_VERSION);
    EXPECT_STREQ(infoW.subCategories, "Fx");
    EXPECT_EQ(factory3->setHostContext(nullptr), kResultOk);

    for (int32 index : {-1, 1}) {
        EXPECT_EQ(factory->getClassInfo(index, &info), kInvalidArgument);
        EXPECT_EQ(factory3->getClassInfo2(index, &info2), kInvalidArgument);
        EXPECT_EQ(factory3->getClassInfoUnicode(index, &infoW), kInvalidArgument);
    }
    EXPECT_EQ(factory3->getClassInfo2(0, nullptr), kInvalidArgument);
    factory3->release();
}

TEST(Factory, CreatesOnlyItsClassWithInterfacesItHas) {
    IPluginFactory* factory = Bundle().factory();
    ASSERT_NE(factory, nullptr);
    void* object = &object;
    char unknown[16] = {1, 2, 3};
    EXPECT_EQ(factory->createInstance(unknown, IComponent::iid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    object = &object;
    EXPECT_EQ(factory->createInstance(ClassId(), IBStream::iid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(factory->createInstance(ClassId(), IComponent::iid.bytes, nullptr), kResultOk);
    EXPECT_NE(factory->createInstance(nullptr, IComponent::iid.bytes, &object), kResultOk);

    // Asked for the controller directly, the one object answers too.
    ASSERT_EQ(factory->createInstance(ClassId(), IEditController::iid.bytes, &object), kResultOk);
    EXPECT_EQ(static_cast<IEditController*>(object)->release(), 0u);

    EXPECT_EQ(factory->queryInterface(IComponent::iid.bytes, &object), kNoInterface);
    for (const Uid* id : {&FUnknown::iid, &IPluginFactory::iid, &IPluginFactory2::iid}) {
        ASSERT_EQ(factory->queryInterface(id->bytes, &object), kResultOk);
        EXPECT_EQ(object, factory);
        factory->release();
    }
}

TEST(Factory, EveryTableHasItsMethodsInTheirSlots) {
    IPluginFactory* factory = Bundle().factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(Slot<int32>(factory, 4), 1); // countClasses
    PFactoryInfo info{};
    EXPECT_EQ(Slot<tresult>(factory, 3, &info), kResultOk); // getFactoryInfo
    EXPECT_STREQ(info.vendor, "Morvantide");
    PClassInfo classInfo{};
    EXPECT_EQ(Slot<tresult>(factory, 5, 0, &classInfo), kResultOk); // getClassInfo
    EXPECT_STREQ(classInfo.category, "Audio Module Class");

    void* component = nullptr;
    ASSERT_EQ(Slot<tresult>(factory, 6, ClassId(), IComponent::iid.bytes, &component), kResultOk); // createInstance
    vst3host::HostApplication application;
    EXPECT_EQ(Slot<tresult>(component, 3, static_cast<FUnknown*>(&application)), kResultOk); // initialize
    char controllerId[16];
    EXPECT_EQ(Slot<tresult>(component, 5, controllerId), kNotImplemented); // getControllerClassId
    EXPECT_EQ(Slot<tresult>(component, 6, 0), kNotImplemented);            // setIoMode
    EXPECT_EQ(Slot<int32>(component, 7, 0, 1), 1);                         // getBusCount
    BusInfo bus{};
    EXPECT_EQ(Slot<tresult>(component, 8, 0, 1, 0, &bus), kResultOk); // getBusInfo
    EXPECT_EQ(bus.direction, kOutput);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(Slot<tresult>(component, 9, &bus, &bus), kNotImplemented); // getRoutingInfo

    void* processor = nullptr;
    ASSERT_EQ(Slot<tresult>(component, 0, IAudioProcessor::iid.bytes, &processor), kResultOk); // queryInterface
    EXPECT_EQ(Slot<tresult>(processor, 5, 1), kResultTrue);                                    // canProcessSampleSize
    EXPECT_EQ(Slot<tresult>(processor, 5, 2), kResultFalse); // ... of no size there is
    EXPECT_EQ(Slot<uint32>(processor, 6), 0u);               // getLatencySamples
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(Slot<tresult>(processor, 4, 1, 0, &arrangement), kResultOk); // getBusArrangement
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
    EXPECT_EQ(Slot<uint32>(processor, 10), kNoTail); // getTailSamples

    void* controller = nullptr;
    ASSERT_EQ(Slot<tresult>(component, 0, IEditController::iid.bytes, &controller), kResultOk);
    EXPECT_EQ(Slot<int32>(controller, 8), 6);                  // getParameterCount
    EXPECT_EQ(Slot<double>(controller, 14, 5u), 0.5);          // getParamNormalized
    EXPECT_EQ(Slot<double>(controller, 13, 0u, 0.0), 0.5);     // plainParamToNormalized
    EXPECT_EQ(Slot<double>(controller, 12, 0u, 1.0), 10.0);    // normalizedParamToPlain
    EXPECT_EQ(Slot<void*>(controller, 17, "editor"), nullptr); // createView
    ParameterInfo parameter{};
    EXPECT_EQ(Slot<tresult>(controller, 9, 2, &parameter), kResultOk); // getParameterInfo
    EXPECT_EQ(parameter.stepCount, 100);

    void* requirements = nullptr;
    ASSERT_EQ(Slot<tresult>(component, 0, IProcessContextRequirements::iid.bytes, &requirements), kResultOk);
    EXPECT_EQ(Slot<uint32>(requirements, 3), 0x4C4u); // tempo, signature, transport, project time

    EXPECT_EQ(Slot<tresult>(component, 4), kResultOk); // terminate
    EXPECT_EQ(Slot<uint32>(requirements, 2), 3u);      // release
    EXPECT_EQ(Slot<uint32>(controller, 2), 2u);
    EXPECT_EQ(Slot<uint32>(processor, 2), 1u);
    EXPECT_EQ(Slot<uint32>(component, 1), 2u); // addRef
    EXPECT_EQ(Slot<uint32>(component, 2), 1u);
    EXPECT_EQ(Slot<uint32>(component, 2), 0u);
    EXPECT_EQ(application.references(), 0);
}
