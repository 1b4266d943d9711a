// The module's entry points and its one factory, which lists the effect's
// single class and creates it.
#include <atomic>
#include <cstring>

#include "core/text_copy.h"
#include "plugin/vst3/plugin.h"
#include "plugin/vst3/utf16.h"
#include "quill_version.h"

namespace vst3_plugin {

namespace {

// The class ID, fixed for good (sessions and presets store it): the first 16
// bytes of the SHA-1 of "org.morvantide.crossfader_2x_mono", as text form
// 8DDC72614F5AF6D5BFBEB04DFCEA110D.
constexpr vst3::Uid kClassId = vst3::Uid::Make(0x8DDC7261, 0x4F5AF6D5, 0xBFBEB04D, 0xFCEA110D);

constexpr const char* kCategory = "Audio Module Class";
constexpr const char* kSubCategories = "Fx";
constexpr const char* kSdkVersion = "VST 3.7.14";

// What the effect says of itself, read from a short-lived instance.
struct Description {
    char name[kBrioEffectNameCapacity] = {};
    char vendor[kBrioVendorCapacity] = {};
};

bool Describe(Description* out) {
    try {
        BrioFormatInstance brio;
        if (!brio.effect || !brio.callbacks.getEffectName || !brio.callbacks.getVendorString) return false;
        brio.callbacks.getEffectName(&brio, out->name);
        brio.callbacks.getVendorString(&brio, out->vendor);
        return true;
    } catch (...) {
        return false;
    }
}

// What every form of the one class's info shares: its ID, cardinality and
// category, on a zeroed record; the description for the rest.
template <class Info>
vst3::tresult ClassHead(vst3::int32 index, Info* info, Description* description) {
    if (!info || index != 0) return vst3::kInvalidArgument;
    if (!Describe(description)) return vst3::kOutOfMemory;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->cid, kClassId.bytes, sizeof info->cid);
    info->cardinality = vst3::PClassInfo::kManyInstances;
    CopyText(info->category, kCategory, sizeof info->category);
    return vst3::kResultOk;
}

class Factory final : public vst3::IPluginFactory3 {
public:
    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override {
        if (!obj) return vst3::kInvalidArgument;
        *obj = nullptr;
        if (!iid) return vst3::kNoInterface;
        if (vst3::FUnknown::iid.Is(iid) || vst3::IPluginFactory::iid.Is(iid) || vst3::IPluginFactory2::iid.Is(iid) ||
            vst3::IPluginFactory3::iid.Is(iid)) {
            addRef();
            *obj = static_cast<vst3::IPluginFactory3*>(this);
            return vst3::kResultOk;
        }
        return vst3::kNoInterface;
    }
    // The factory lives as long as the module: counting is all a release does.
    vst3::uint32 PLUGIN_API addRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    vst3::uint32 PLUGIN_API release() override {
        vst3::uint32 count = references_.load(std::memory_order_relaxed);
        while (count > 0 && !references_.compare_exchange_weak(count, count - 1, std::memory_order_relaxed)) {}
        return count > 0 ? count - 1 : 0;
    }

    vst3::tresult PLUGIN_API getFactoryInfo(vst3::PFactoryInfo* info) override {
        Description description;
        if (!info) return vst3::kInvalidArgument;
        if (!Describe(&description)) return vst3::kOutOfMemory;
        std::memset(info, 0, sizeof *info);
        CopyText(info->vendor, description.vendor, sizeof info->vendor);
        info->flags = vst3::PFactoryInfo::kUnicode;
        return vst3::kResultOk;
    }

    vst3::int32 PLUGIN_API countClasses() override { return 1; }

    vst3::tresult PLUGIN_API getClassInfo(vst3::int32 index, vst3::PClassInfo* info) override {
        Description description;
        const vst3::tresult status = ClassHead(index, info, &description);
        if (status != vst3::kResultOk) return status;
        CopyText(info->name, description.name, sizeof info->name);
        return vst3::kResultOk;
    }

    vst3::tresult PLUGIN_API createInstance(vst3::FIDString cid, vst3::FIDString iid, void** obj) override {
        if (!obj) return vst3::kInvalidArgument;
        *obj = nullptr;
        if (!kClassId.Is(cid) || !iid) return vst3::kNoInterface;
        Plugin* plugin = Plugin::Create();
        if (!plugin) return vst3::kOutOfMemory;
        const vst3::tresult result = plugin->queryInterface(iid, obj);
        plugin->release(); // the caller's reference, if any, is the one queryInterface added
        return result;
    }

    vst3::tresult PLUGIN_API getClassInfo2(vst3::int32 index, vst3::PClassInfo2* info) override {
        Description description;
        const vst3::tresult status = ClassHead(index, info, &description);
        if (status != vst3::kResultOk) return status;
        CopyText(info->name, description.name, sizeof info->name);
        info->classFlags = 0; // one object: processor and controller cannot be placed apart
        CopyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        CopyText(info->vendor, description.vendor, sizeof info->vendor);
        CopyText(info->version, QUILL_VERSION, sizeof info->version);
        CopyText(info->sdkVersion, kSdkVersion, sizeof info->sdkVersion);
        return vst3::kResultOk;
    }

    vst3::tresult PLUGIN_API getClassInfoUnicode(vst3::int32 index, vst3::PClassInfoW* info) override {
        Description description;
        const vst3::tresult status = ClassHead(index, info, &description);
        if (status != vst3::kResultOk) return status;
        CopyUtf16(info->name, description.name, 64);
        info->classFlags = 0;
        CopyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        CopyUtf16(info->vendor, description.vendor, 64);
        CopyUtf16(info->version, QUILL_VERSION, 64);
        CopyUtf16(info->sdkVersion, kSdkVersion, 64);
        return vst3::kResultOk;
    }

    vst3::tresult PLUGIN_API setHostContext(vst3::FUnknown*) override { return vst3::kResultOk; }

private:
    std::atomic<vst3::uint32> references_{0};
};

Factory theFactory;

} // namespace

} // namespace vst3_plugin

#if defined(_WIN32)
#define PLUGIN_EXPORT // exported by the module-definition file, under undecorated names
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// The same factory on every call, with one more reference for the caller.
PLUGIN_EXPORT vst3::IPluginFactory* PLUGIN_API GetPluginFactory() {
    vst3_plugin::theFactory.addRef();
    return &vst3_plugin::theFactory;
}

// The module keeps nothing global to set up or tear down, however often a host enters and leaves.
#if defined(_WIN32)
PLUGIN_EXPORT bool PLUGIN_API InitDll() { return true; }
PLUGIN_EXPORT bool PLUGIN_API ExitDll() { return true; }
#else
PLUGIN_EXPORT bool ModuleEntry(void*) { return true; }
PLUGIN_EXPORT bool ModuleExit() { return true; }
#endif
}
