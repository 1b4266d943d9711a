#include "plugin/vst2/brio.h"

#include <cstring>
CBrio* CBrio::Create(TQuill* effect, const BrioCallbackTable& table, audioMasterCallback host, VstInt32 numPrograms,
                     VstInt32 numParams) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    return new CBrio(effect, table, host, numPrograms, numParams);
}

CBrio::CBrio(TQuill* owned, const BrioCallbackTable& table, audioMasterCallback host, VstInt32 programs,
             VstInt32 params)
    : AudioEffectX(host, programs, params) {
    effect = owned;
    callbacks = table;
    setFlag(effFlagsCanReplacing, true);
    setFlag(effFlagsCanDoubleReplacing, true);
    if (callbacks.init) callbacks.init(this);
}

CBrio::~CBrio() {
    if (callbacks.destroy) callbacks.destroy(this);
}

void CBrio::open() {
    if (callbacks.open) callbacks.open(this);
}

void CBrio::close() {
    if (callbacks.close) callbacks.close(this);
}

void CBrio::suspend() {
    if (callbacks.suspend) callbacks.suspend(this);
}

void CBrio::resume() {
    AudioEffectX::resume();
    if (callbacks.resume) callbacks.resume(this);
}

// Audio side. The effect's variables are shared with the dispatcher side
// without locks by design: a block may see a mix of old and new gains.
void CBrio::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    if (callbacks.processReplacing) callbacks.processReplacing(this, inputs, outputs, frames);
}

void CBrio::processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) {
    if (callbacks.processDoubleReplacing) callbacks.processDoubleReplacing(this, inputs, outputs, frames);
}

void CBrio::setParameter(VstInt32 index, float value) {
    if (callbacks.setParameter) callbacks.setParameter(this, index, static_cast<double>(value));
}

float CBrio::getParameter(VstInt32 index) {
    return callbacks.getParameter ? static_cast<float>(callbacks.getParameter(this, index)) : 0.0f;
}

void CBrio::setProgramName(char* name) {
    if (callbacks.setProgramName) callbacks.setProgramName(this, name);
}

void CBrio::getProgramName(char* name) {
    if (callbacks.getProgramName) callbacks.getProgramName(this, name);
}

void CBrio::getParameterLabel(VstInt32 index, char* label) {
    if (callbacks.getParameterLabel) callbacks.getParameterLabel(this, index, label);
}

void CBrio::getParameterDisplay(VstInt32 index, char* text) {
    if (callbacks.getParameterDisplay) callbacks.getParameterDisplay(this, index, text);
}

void CBrio::getParameterName(VstInt32 index, char* text) {
    if (callbacks.getParameterName) callbacks.getParameterName(this, index, text);
}

VstInt32 CBrio::getChunk(void** data, bool isPreset) {
    return callbacks.getChunk ? callbacks.getChunk(this, data, isPreset) : 0;
}

VstInt32 CBrio::setChunk(void* data, VstInt32 byteCount, bool isPreset) {
    return callbacks.setChunk ? callbacks.setChunk(this, data, byteCount, isPreset) : 0;
}

bool CBrio::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    return callbacks.getProgramNameIndexed && callbacks.getProgramNameIndexed(this, category, index, text) != 0;
}

// Nothing in the plug-in reads MIDI, so the events are acknowledged unread.
VstInt32 CBrio::processEvents(VstEvents*) { return 1; }

bool CBrio::getEffectName(char* text) { return callbacks.getEffectName && callbacks.getEffectName(this, text) != 0; }

bool CBrio::getVendorString(char* text) {
    return callbacks.getVendorString && callbacks.getVendorString(this, text) != 0;
}

bool CBrio::getProductString(char* text) {
    return callbacks.getProductString && callbacks.getProductString(this, text) != 0;
}

VstInt32 CBrio::getVendorVersion() { return callbacks.getVendorVersion ? callbacks.getVendorVersion(this) : 0; }

VstInt32 CBrio::canDo(char* text) {
    if (!text) return 0;
    // strncmp rather than a 20-byte memcmp: a shorter host text is never read past its end.
    if (std::strncmp(text, "receiveVstMidiEvent", 20) == 0) return cEffect.flags | effFlagsIsSynth;
    return -1;
}

// ---- the effect's host services ----

AEffect* BrioGetAEffect(CBrio* brio) { return brio ? brio->getAeffect() : nullptr; }

// Every time service asks the host afresh, with its own filter.
double CBrio::GetTempo() {
    const VstTimeInfo* time = getTimeInfo(kVstTempoValid);
    return time ? time->tempo : 0.0;
}

std::int32_t CBrio::IsPlaying() {
    const VstTimeInfo* time = getTimeInfo(kVstTransportPlaying);
    return time && (time->flags & kVstTransportPlaying) ? 1 : 0;
}

std::int32_t CBrio::IsRecording() {
    const VstTimeInfo* time = getTimeInfo(kVstTransportRecording);
    return time && (time->flags & kVstTransportRecording) ? 1 : 0;
}

double CBrio::GetPpqPos() {
    const VstTimeInfo* time = getTimeInfo(kVstPpqPosValid);
    return time ? time->ppqPos : 0.0;
}

std::int32_t CBrio::GetTempoAndSignature(double* tempo, double* numerator, double* denominator) {
    const VstTimeInfo* time = getTimeInfo(kVstTempoValid | kVstTimeSigValid);
    if (!time) return 0;
    if (tempo) *tempo = time->tempo;
    if (numerator) *numerator = time->timeSigNumerator;
    if (denominator) *denominator = time->timeSigDenominator;
    return 1;
}
