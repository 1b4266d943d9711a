// The crossfader's callback table: the one place that knows both a wrapper's
// instance and the effect's class.
#include "core/brio_table.h"

#include <cstring>

#include "core/brio_instance.h"
#include "core/brio_process.h"
#include "core/text_copy.h"
#include "effect/tquill_effect.h"

namespace {

TQuillEffect& Effect(BrioInstance* brio) { return *static_cast<TQuillEffect*>(brio->effect); }

void Init(BrioInstance* brio) {
    const TQuillEffect& effect = Effect(brio);
    BrioSetNumInputs(brio, effect.channelCount);
    BrioSetNumOutputs(brio, effect.channelCount);
    BrioSetUniqueID(brio, effect.uniqueId);
    BrioProgramsAreChunks(brio, true);
}

void Destroy(BrioInstance* brio) {
    delete brio->effect;
    brio->effect = nullptr;
}

void Open(BrioInstance* brio) { Effect(brio).DoReset(); }
void Suspend(BrioInstance* brio) { Effect(brio).DoSuspend(); }
void Resume(BrioInstance* brio) { Effect(brio).DoResume(); }
void Idle(BrioInstance* brio) { Effect(brio).DoIdle(); }
void Close(BrioInstance* brio) { Effect(brio).DoClose(); }

std::int32_t GetVendorVersion(BrioInstance* brio) { return Effect(brio).vendorVersion; }

std::int32_t CopyOut(char* text, const std::string& value, std::size_t bound) {
    if (!text) return 0;
    CopyText(text, value, bound);
    return 1;
}

std::int32_t GetVendorString(BrioInstance* brio, char* text) {
    return CopyOut(text, Effect(brio).vendorString, kBrioVendorCapacity);
}
std::int32_t GetProductString(BrioInstance* brio, char* text) {
    return CopyOut(text, Effect(brio).productString, kBrioProductCapacity);
}
std::int32_t GetEffectName(BrioInstance* brio, char* text) {
    return CopyOut(text, Effect(brio).effectName, kBrioEffectNameCapacity);
}
void GetProgramName(BrioInstance* brio, char* text) {
    CopyOut(text, Effect(brio).programName, kBrioProgramNameCapacity);
}

void SetProgramName(BrioInstance* brio, const char* text) {
    // Read no further than a name the host could have been given back.
    if (text) Effect(brio).programName.assign(text, strnlen(text, kBrioProgramNameCapacity));
}

std::int32_t GetProgramNameIndexed(BrioInstance*, std::int32_t, std::int32_t, char*) { return 0; }

double GetParameter(BrioInstance* brio, std::int32_t index) { return Effect(brio).NormaliseSliderValue(index); }
void SetParameter(BrioInstance* brio, std::int32_t index, double value) {
    Effect(brio).SetSliderFromHost(index, value);
}

void GetParameterName(BrioInstance* brio, std::int32_t index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index))
        CopyOut(text, effect.sliders[static_cast<std::size_t>(index)].name, kBrioParameterTextCapacity);
}

void GetParameterLabel(BrioInstance* brio, std::int32_t index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index))
        CopyOut(text, effect.sliders[static_cast<std::size_t>(index)].label, kBrioParameterTextCapacity);
}

void GetParameterDisplay(BrioInstance* brio, std::int32_t index, char* text) {
    const TQuillEffect& effect = Effect(brio);
    if (effect.HasSlider(index) && text) CopyOut(text, effect.SliderDisplayText(index), kBrioParameterTextCapacity);
}

// Each precision reads the channel count once per module, on its first call;
// the function-local static makes concurrent first calls agree.
void ProcessReplacing(BrioInstance* brio, float** inputs, float** outputs, std::int32_t frames) {
    static const std::int32_t channelCountCache = BrioGetNumInputs(brio);
    brio::ProcessCall(*brio, channelCountCache, inputs, outputs, frames);
}

void ProcessDoubleReplacing(BrioInstance* brio, double** inputs, double** outputs, std::int32_t frames) {
    static const std::int32_t channelCountCache = BrioGetNumInputs(brio);
    brio::ProcessCall(*brio, channelCountCache, inputs, outputs, frames);
}

std::int32_t GetChunk(BrioInstance* brio, void** data, bool isPreset) {
    return Effect(brio).DoGetChunk(data, isPreset);
}
std::int32_t SetChunk(BrioInstance* brio, void* data, std::int32_t byteCount, bool isPreset) {
    return Effect(brio).DoSetChunk(data, byteCount, isPreset);
}

} // namespace

BrioCallbackTable BrioMakeCallbackTable() {
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
    return table;
}

TQuill* BrioNewEffect() { return new TQuillEffect; }
