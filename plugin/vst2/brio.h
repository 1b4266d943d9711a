// CBrio: the VST 2.4 wrapper. It owns an effect, turns every host request
// about it into one call through its copy of the callback table, and answers
// the effect's host services by asking its VST 2.4 host.
#pragma once

#include "core/brio_instance.h"
#include "plugin/vst2/audioeffect.h"

// AudioEffectX comes first: the record's object field is the wrapper's own address.
class CBrio final : public AudioEffectX, public BrioInstance {
public:
    // Null when the host is missing or answers 0 to audioMasterVersion.
    static CBrio* Create(TQuill* effect, const BrioCallbackTable& table, audioMasterCallback host, VstInt32 numPrograms,
                         VstInt32 numParams);
    ~CBrio() override;

    void open() override;
    void close() override;
    void suspend() override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteCount, bool isPreset) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;

    // The effect's host services, answered from this record and the host.
    std::int32_t GetNumInputs() override { return cEffect.numInputs; }
    void SetNumInputs(std::int32_t count) override { setNumInputs(count); }
    void SetNumOutputs(std::int32_t count) override { setNumOutputs(count); }
    void SetUniqueID(std::int32_t id) override { setUniqueID(id); }
    void ProgramsAreChunks(bool on) override { setFlag(effFlagsProgramChunks, on); }
    float GetSampleRate() override { return getSampleRate(); }
    std::int32_t GetBlockSize() override { return getBlockSize(); }
    double GetTempo() override;
    std::int32_t IsPlaying() override;
    std::int32_t IsRecording() override;
    double GetPpqPos() override;
    std::int32_t GetTempoAndSignature(double* tempo, double* numerator, double* denominator) override;
    std::int32_t UpdateDisplay() override { return updateDisplay() ? 1 : 0; }
    void SetInitialDelay(std::int32_t samples) override { setInitialDelay(samples); }

private:
    CBrio(TQuill* effect, const BrioCallbackTable& table, audioMasterCallback host, VstInt32 numPrograms,
          VstInt32 numParams);
};

// The wrapper's record, for the entry point; null for a null wrapper.
AEffect* BrioGetAEffect(CBrio* brio);
