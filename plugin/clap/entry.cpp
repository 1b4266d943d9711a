// The module's one export, clap_entry, and the factory behind it, which
// holds the crossfader's one descriptor.
#include <atomic>
#include <cstring>

#include "core/brio_instance.h"
#include "plugin/clap/brio_clap.h"
#include "plugin/clap/clap_abi.h"
#include "quill_version.h"

namespace {

// Hosts may init again before deinit: only the first init and the last deinit count.
std::atomic<int> initCount{0};

// Filled from the effect itself at the first init.
char effectName[kBrioEffectNameCapacity];
char vendorName[kBrioVendorCapacity];

const char* const kFeatures[] = {"audio-effect", "mixing", "stereo", nullptr};

const clap_plugin_descriptor kDescriptor = {
    CLAP_VERSION,
    "org.morvantide.crossfader_2x_mono",
    effectName,
    vendorName,
    "",
    "",
    "",
    QUILL_VERSION,
    "Two mono inputs, each with a level and an on/off switch, crossfaded into one mix on both outputs",
    kFeatures,
};

bool Initialised() { return initCount.load(std::memory_order_acquire) > 0; }

bool CLAP_ABI EntryInit(const char*) noexcept {
    if (!Initialised()) {
        try {
            BrioFormatInstance probe;
            if (!probe.effect || !probe.callbacks.getEffectName || !probe.callbacks.getVendorString) return false;
            probe.callbacks.getEffectName(&probe, effectName);
            probe.callbacks.getVendorString(&probe, vendorName);
        } catch (...) {
            return false;
        }
    }
    initCount.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

void CLAP_ABI EntryDeinit() noexcept {
    int count = initCount.load(std::memory_order_acquire);
    while (count > 0 && !initCount.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel)) {}
}

std::uint32_t CLAP_ABI FactoryPluginCount(const clap_plugin_factory*) noexcept { return Initialised() ? 1 : 0; }

const clap_plugin_descriptor* CLAP_ABI FactoryDescriptor(const clap_plugin_factory*, std::uint32_t index) noexcept {
    return Initialised() && index == 0 ? &kDescriptor : nullptr;
}

// The host is not called here: an instance first speaks to it in init.
const clap_plugin* CLAP_ABI FactoryCreate(const clap_plugin_factory*, const clap_host* host,
                                          const char* pluginId) noexcept {
    if (!Initialised() || !host || !clap_version_is_compatible(host->clap_version) || !pluginId ||
        std::strcmp(pluginId, kDescriptor.id) != 0)
        return nullptr;
    const CBrioClap* instance = CBrioClap::Create(host, &kDescriptor);
    return instance ? instance->Plugin() : nullptr;
}

const clap_plugin_factory kFactory = {FactoryPluginCount, FactoryDescriptor, FactoryCreate};

const void* CLAP_ABI EntryGetFactory(const char* factoryId) noexcept {
    if (!Initialised() || !factoryId || std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) != 0) return nullptr;
    return &kFactory;
}

} // namespace

#if defined(_WIN32)
#define CLAP_EXPORT // exported by the module-definition file
#else
#define CLAP_EXPORT __attribute__((visibility("default")))
#endif

// extern "C" on the definition itself: inside an extern "C" block a const
// object would keep internal linkage and never be exported.
extern "C" CLAP_EXPORT const clap_plugin_entry clap_entry = {CLAP_VERSION, EntryInit, EntryDeinit, EntryGetFactory};
