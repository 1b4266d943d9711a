#include "plugin/vst2/audioeffect.h"

#include <cstring>

namespace {

VstIntPtr VSTCALLBACK DispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) noexcept {
    AudioEffect* object = AudioEffect::FromAEffect(e);
    if (!object) return 0;
    try {
        if (opcode == effClose) {
            object->dispatcher(opcode, index, value, ptr, opt);
            delete object;
            return 1;
        }
        return object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        // Nothing may unwind into the host; an allocation failure answers 0.
        return 0;
    }
}

void VSTCALLBACK AccumulatingProcessEntry(AEffect*, float**, float**, VstInt32) noexcept {}

void VSTCALLBACK SetParameterEntry(AEffect* e, VstInt32 index, float value) noexcept {
    if (AudioEffect* object = AudioEffect::FromAEffect(e)) object->setParameter(index, value);
}

float VSTCALLBACK GetParameterEntry(AEffect* e, VstInt32 index) noexcept {
    AudioEffect* object = AudioEffect::FromAEffect(e);
    return object ? object->getParameter(index) : 0.0f;
}

void VSTCALLBACK ProcessReplacingEntry(AEffect* e, float** in, float** out, VstInt32 frames) noexcept {
    if (AudioEffect* object = AudioEffect::FromAEffect(e)) object->processReplacing(in, out, frames);
}

void VSTCALLBACK ProcessDoubleReplacingEntry(AEffect* e, double** in, double** out, VstInt32 frames) noexcept {
    if (AudioEffect* object = AudioEffect::FromAEffect(e)) object->processDoubleReplacing(in, out, frames);
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = DispatchEntry;
    cEffect.process = AccumulatingProcessEntry;
    cEffect.setParameter = SetParameterEntry;
    cEffect.getParameter = GetParameterEntry;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.version = 1;
    cEffect.processReplacing = ProcessReplacingEntry;
    cEffect.processDoubleReplacing = ProcessDoubleReplacingEntry;
}

AudioEffect* AudioEffect::FromAEffect(AEffect* effect) {
    if (!effect || effect->magic != kEffectMagic || !effect->object) return nullptr;
    auto* object = static_cast<AudioEffect*>(effect->object);
    return object->getAeffect() == effect ? object : nullptr;
}

void AudioEffect::setProgram(VstInt32 program) {
    // A negative program would be "below the count" too; only real programs are kept.
    if (program >= 0 && program < numPrograms) curProgram = program;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
    case effMainsChanged:
        if (value) resume();
        else suspend();
        return 0;
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle: return 0; // no editor: the host's pointers stay untouched
    case effIdentify: return kVstIdentifyAnswer;
    case effGetChunk: return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk: return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default: return 0;
    }
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return text && string2parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed:
        return text && getProgramNameIndexed(static_cast<VstInt32>(value), index, text) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effGetEffectName: return text && getEffectName(text) ? 1 : 0;
    case effGetVendorString: return text && getVendorString(text) ? 1 : 0;
    case effGetProductString: return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effCanDo: return text ? canDo(text) : 0;
    case effGetTailSize: return getGetTailSize();
    case effGetVstVersion: return getVstVersion();
    case effGetCurrentMidiProgram: return -1;
    case effGetSpeakerArrangement:
        if (value) *reinterpret_cast<void**>(value) = nullptr;
        if (ptr) *static_cast<void**>(ptr) = nullptr;
        return 0;
    case effSetTotalSampleToProcess: return value;
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

void AudioEffectX::resume() {
    char midiInput[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(midiInput) == 1) wantEvents();
}

VstIntPtr AudioEffectX::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f));
}

bool AudioEffectX::wantEvents(VstInt32 filter) { return callHost(audioMasterWantMidi, 0, filter, nullptr, 0.0f) != 0; }

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0; }

void AudioEffectX::setFlag(VstInt32 flag, bool on) {
    if (on) cEffect.flags |= flag;
    else cEffect.flags &= ~flag;
}
