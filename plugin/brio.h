// CBrio: the generic wrapper that owns an effect and turns every host request
// about it into one call through its copy of the callback table.
#pragma once

#include "plugin/audioeffect.h"

class CBrio;
class TQuill;

struct BrioCallbackTable {
    void (*init)(CBrio*);    // 0: at construction
    void (*destroy)(CBrio*); // 1: deletes the effect
    void (*open)(CBrio*);    // 2
    void (*suspend)(CBrio*); // 3
    void (*resume)(CBrio*);  // 4
    void (*idle)(CBrio*);    // 5: editor tick
    void (*close)(CBrio*);   // 6
    void (*view[6])(CBrio*); // 7-12: editor views, empty here
    VstInt32 (*getVendorVersion)(CBrio*);
    VstInt32 (*getVendorString)(CBrio*, char* text);
    VstInt32 (*getProductString)(CBrio*, char* text);
    VstInt32 (*getEffectName)(CBrio*, char* text);
    void (*getProgramName)(CBrio*, char* text);
    void (*setProgramName)(CBrio*, const char* text);
    VstInt32 (*getProgramNameIndexed)(CBrio*, VstInt32 category, VstInt32 index, char* text);
    double (*getParameter)(CBrio*, VstInt32 index);
    void (*setParameter)(CBrio*, VstInt32 index, double value);
    void (*getParameterName)(CBrio*, VstInt32 index, char* text);
    void (*getParameterLabel)(CBrio*, VstInt32 index, char* text);
    void (*getParameterDisplay)(CBrio*, VstInt32 index, char* text);
    void (*processReplacing)(CBrio*, float** inputs, float** outputs, VstInt32 frames);
    void (*processDoubleReplacing)(CBrio*, double** inputs, double** outputs, VstInt32 frames);
    VstInt32 (*getChunk)(CBrio*, void** data, bool isPreset);
    VstInt32 (*setChunk)(CBrio*, void* data, VstInt32 byteCount, bool isPreset);
};
static_assert(sizeof(BrioCallbackTable) == 29 * sizeof(void (*)()));

class CBrio final : public AudioEffectX {
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

    TQuill* effect;
    BrioCallbackTable callbacks;

private:
    CBrio(TQuill* effect, const BrioCallbackTable& table, audioMasterCallback host, VstInt32 numPrograms,
          VstInt32 numParams);
};
