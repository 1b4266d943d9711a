// The module's entry points and the callback table: the one place that knows
// both the wrapper and the crossfader.
#include <cstdint>
#include <cstring>
#include <memory>

#include "effect/tquill_effect.h"
#include "plugin/brio.h"
#include "plugin/brio_services.h"
#include "plugin/text_copy.h"

namespace {

// Host buffers are sized by the host; these are the bounds each text keeps to.
constexpr std::size_t kEffectNameBound = kVstMaxEffectNameLen;
constexpr std::size_t kVendorBound = kVstMaxVendorStrLen;
constexpr std::size_t kProductBound = kVstMaxProductStrLen;
constexpr std::size_t kProgramNameBound = kVstMaxProgNameLen;
constexpr std::size_t kParameterTextBound = 32; // hosts give more than the nominal 8

TQuillEffect& Effect(CBrio* brio) { return *static_cast<TQuillEffect*>(brio->effect); }

void Init(CBrio* brio) {
    const TQuillEffect& effect = Effect(brio);
    BrioSetNumInputs(brio, effect.channelCount);
    BrioSetNumOutputs(brio, effect.channelCount);
    BrioSetUniqueID(brio, effect.uniqueId);
    BrioProgramsAreChunks(brio, true);
}

void Destroy(CBrio* brio) {
    delete brio->effect;
    brio->effect = nullptr;
}

void Open(CBrio* brio) { Effect(brio).DoReset(); }
void Suspend(CBrio* brio) { Effect(brio).DoSuspend(); }
void Resume(CBrio* brio) { Effect(brio).DoResume(); }
void Idle(CBrio* brio) { Effect(brio).DoIdle(); }
void Close(CBrio* brio) { Effect(brio).DoClose(); }

VstInt32 GetVendorVersion(CBrio* brio) { return Effect(brio).vendorVersion; }

VstInt32 CopyOut(char* text, const std::string& value, std::size_t bound) {
    if (!text) return 0;
    CopyText(text, value, bound);
    return 1;
}

VstInt32 GetVendorString(CBrio* brio, char* text) { return CopyOut(text, Effect(brio).vendorString, kVendorBound); }
VstInt32 GetProductString(CBrio* brio, char* text) { return CopyOut(text, Effect(brio).productString, kProductBound); }
VstInt32 GetEffectName(CBrio* brio, char* text) { return CopyOut(text, Effect(brio).effectName, kEffectNameBound); }
void GetProgramName(CBrio* brio, char* text) { CopyOut(text, Effect(brio).programName, kProgramNameBound); }

void SetProgramName(CBrio* brio, const char* text) {
    // Read no further than a name the host could have been given back.
    if (text) Effect(brio).programName.assign(text, strnlen(text, kProgramNameBound));
}

VstInt32 GetProgramNameIndexed(CBrio*, VstInt32, VstInt32, char*) { return 0; }

double GetParameter(CBrio* brio, VstInt32 index) { return Effect(brio).NormaliseSliderValue(index); }
void SetParameter(CBrio* brio, VstInt32 index, double value) { Effect(brio).SetSliderFromHost(index, value); }

void GetParameterName(CBrio* brio, VstInt32 index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index))
        CopyOut(text, effect.sliders[static_cast<std::size_t>(index)].name, kParameterTextBound);
}

void GetParameterLabel(CBrio* brio, VstInt32 index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index))
        CopyOut(text, effect.sliders[static_cast<std::size_t>(index)].label, kParameterTextBound);
}

void GetParameterDisplay(CBrio* brio, VstInt32 index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index) && text) CopyOut(text, effect.SliderDisplayText(index), kParameterTextBound);
}

// Whether two buffers of frames samples share memory without starting at the
// same sample: hosts process in place, but never shifted.
template <class Sample>
bool OverlapShifted(const Sample* a, const Sample* b, VstInt32 frames) {
    const auto x = reinterpret_cast<std::uintptr_t>(a), y = reinterpret_cast<std::uintptr_t>(b);
    const std::uintptr_t bytes = static_cast<std::uintptr_t>(frames) * sizeof(Sample);
    return x != y && x < y + bytes && y < x + bytes;
}

// Double buffers may alias the effect's own double members, so a frame loop
// over them makes the compiler reload and re-store every member on every
// frame. Runs of frames are staged through local arrays instead, which alias
// nothing; the results are the same bits, as each frame reads only its own
// samples.
void ProcessStaged(TQuillEffect& effect, const double* in0, const double* in1, double* out0, double* out1,
                   VstInt32 frames) {
    constexpr VstInt32 kRun = 256;
    double a[kRun], b[kRun];
    double* slots = effect.sampleSlots.data();
    for (VstInt32 start = 0; start < frames; start += kRun) {
        const VstInt32 n = frames - start < kRun ? frames - start : kRun;
        std::memcpy(a, in0 + start, sizeof(double) * n);
        std::memcpy(b, in1 + start, sizeof(double) * n);
        for (VstInt32 j = 0; j < n; ++j) {
            slots[0] = a[j];
            slots[1] = b[j];
            effect.DoSample();
            a[j] = slots[0];
            b[j] = slots[1];
        }
        std::memcpy(out0 + start, a, sizeof(double) * n);
        std::memcpy(out1 + start, b, sizeof(double) * n);
    }
}

// Audio side. One block section, then one sample section per frame with the
// frame's samples in the sample slots. The effect's type is known here, so
// the per-frame call is resolved at compile time and inlined.
template <class Sample>
void Process(TQuillEffect& effect, VstInt32 channels, Sample** inputs, Sample** outputs, VstInt32 frames) {
    effect.DoBlock();
    if (frames <= 0) return;
    double* slots = effect.sampleSlots.data();
    if (channels == 2) {
        if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
        const Sample* in0 = inputs[0];
        const Sample* in1 = inputs[1];
        Sample* out0 = outputs[0];
        Sample* out1 = outputs[1];
        if constexpr (sizeof(Sample) == sizeof(double)) {
            const bool shifted = OverlapShifted(out0, out1, frames) || OverlapShifted(out0, in0, frames) ||
                                 OverlapShifted(out0, in1, frames) || OverlapShifted(out1, in0, frames) ||
                                 OverlapShifted(out1, in1, frames);
            if (!shifted) return ProcessStaged(effect, in0, in1, out0, out1, frames);
        }
        for (VstInt32 j = 0; j < frames; ++j) {
            slots[0] = in0[j];
            slots[1] = in1[j];
            effect.DoSample();
            out0[j] = static_cast<Sample>(slots[0]);
            out1[j] = static_cast<Sample>(slots[1]);
        }
        return;
    }
    if (channels <= 0) {
        for (VstInt32 j = 0; j < frames; ++j) effect.DoSample();
        return;
    }
    // Never more channels than there are sample slots.
    const VstInt32 n = channels < CQuillSamples::kSampleSlotCount ? channels : CQuillSamples::kSampleSlotCount;
    if (!inputs || !outputs) return;
    for (VstInt32 c = 0; c < n; ++c)
        if (!inputs[c] || !outputs[c]) return;
    for (VstInt32 j = 0; j < frames; ++j) {
        for (VstInt32 c = n - 1; c >= 0; --c) slots[c] = inputs[c][j];
        effect.DoSample();
        for (VstInt32 c = n - 1; c >= 0; --c) outputs[c][j] = static_cast<Sample>(slots[c]);
    }
}

// Each precision reads the channel count once per module, on its first call;
// the function-local static makes concurrent first calls agree.
void ProcessReplacing(CBrio* brio, float** inputs, float** outputs, VstInt32 frames) {
    static const VstInt32 channelCountCache = BrioGetNumInputs(brio);
    Process(Effect(brio), channelCountCache, inputs, outputs, frames);
}

void ProcessDoubleReplacing(CBrio* brio, double** inputs, double** outputs, VstInt32 frames) {
    static const VstInt32 channelCountCache = BrioGetNumInputs(brio);
    Process(Effect(brio), channelCountCache, inputs, outputs, frames);
}

VstInt32 GetChunk(CBrio* brio, void** data, bool isPreset) { return Effect(brio).DoGetChunk(data, isPreset); }
VstInt32 SetChunk(CBrio* brio, void* data, VstInt32 byteCount, bool isPreset) {
    return Effect(brio).DoSetChunk(data, byteCount, isPreset);
}

AEffect* CreateInstance(audioMasterCallback host) noexcept {
    if (!host) return nullptr;
    try {
        BrioCallbackTable table;
        std::memset(&table, 0, sizeof table);
        table.init = Init;
        table.destroy = Destroy;
        table.open = Open;
        table.suspend = Suspend;
        table.resume = Resume;
        table.idle = Idle;
        table.close = Close;
        table.getVendorVersion = GetVendorVersion;
        table.getVendorString = GetVendorString;
        table.getProductString = GetProductString;
        table.getEffectName = GetEffectName;
        table.getProgramName = GetProgramName;
        table.setProgramName = SetProgramName;
        table.getProgramNameIndexed = GetProgramNameIndexed;
        table.getParameter = GetParameter;
        table.setParameter = SetParameter;
        table.getParameterName = GetParameterName;
        table.getParameterLabel = GetParameterLabel;
        table.getParameterDisplay = GetParameterDisplay;
        table.processReplacing = ProcessReplacing;
        table.processDoubleReplacing = ProcessDoubleReplacing;
        table.getChunk = GetChunk;
        table.setChunk = SetChunk;

        auto effect = std::make_unique<TQuillEffect>();
        const auto parameterCount = static_cast<VstInt32>(effect->sliders.size());
        CBrio* brio = CBrio::Create(effect.get(), table, host, 1, parameterCount);
        if (!brio) return nullptr; // the host refused: the effect goes with the unique_ptr
        TQuillEffect* owned = effect.release();
        owned->wrapper = brio;
        return brio->getAeffect();
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
