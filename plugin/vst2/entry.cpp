// The VST 2.4 module's entry points: each builds the crossfader and its
// wrapper and hands the host the wrapper's AEffect.
#include <memory>

#include "core/brio_format.h"
#include "effect/tquill.h"
#include "plugin/vst2/brio.h"

namespace {

AEffect* CreateInstance(audioMasterCallback host) noexcept {
    if (!host) return nullptr;
    try {
        std::unique_ptr<TQuill> effect(BrioNewEffect());
        const auto parameterCount = static_cast<VstInt32>(effect->sliders.size());
        CBrio* brio = CBrio::Create(effect.get(), BrioMakeCallbackTable(), host, 1, parameterCount);
        if (!brio) return nullptr; // the host refused: the effect goes with the unique_ptr
        effect.release()->wrapper = brio;
        return BrioGetAEffect(brio);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

#if defined(_WIN32)
#define PLUGIN_EXPORT // exported by the module-definition file
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

PLUGIN_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) { return CreateInstance(host); }

PLUGIN_EXPORT AEffect* VSTCALLBACK MAIN(audioMasterCallback host) { return CreateInstance(host); }

#if !defined(_WIN32)
// A C++ function cannot be called main; the assembler label gives it the name.
PLUGIN_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback host) asm("main");
PLUGIN_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback host) { return CreateInstance(host); }
#endif
}
