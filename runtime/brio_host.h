// What the effect's sections may ask of their host, whatever the plug-in
// format: the interface every format's wrapper answers, and the Brio…
// services through which the sections call it. Each service takes the
// wrapper first and answers 0 (or writes nothing) when it is null.
#pragma once

#include <cstdint>

class BrioHost {
public:
    virtual ~BrioHost() = default;

    // Written by table slot 0 at construction; read by processing and the init section.
    virtual std::int32_t GetNumInputs() = 0;
    virtual void SetNumInputs(std::int32_t count) = 0;
    virtual void SetNumOutputs(std::int32_t count) = 0;
    virtual void SetUniqueID(std::int32_t id) = 0;
    virtual void ProgramsAreChunks(bool on) = 0;

    virtual float GetSampleRate() = 0;
    virtual std::int32_t GetBlockSize() = 0;

    // Host time. A wrapper whose host keeps no time answers 0 and writes nothing.
    virtual double GetTempo() = 0;
    virtual std::int32_t IsPlaying() = 0;
    virtual std::int32_t IsRecording() = 0;
    virtual double GetPpqPos() = 0;
    virtual std::int32_t GetTempoAndSignature(double* tempo, double* numerator, double* denominator) = 0;

    virtual std::int32_t UpdateDisplay() = 0;
    virtual void SetInitialDelay(std::int32_t samples) = 0;
};

std::int32_t BrioGetNumInputs(BrioHost* brio);
std::int32_t BrioSetNumInputs(BrioHost* brio, std::int32_t count);
std::int32_t BrioSetNumOutputs(BrioHost* brio, std::int32_t count);
std::int32_t BrioSetUniqueID(BrioHost* brio, std::int32_t id);
std::int32_t BrioProgramsAreChunks(BrioHost* brio, bool on);
float BrioGetSampleRate(BrioHost* brio);
std::int32_t BrioGetBlockSize(BrioHost* brio);

// Every call asks the wrapper afresh (a VST 2.4 host afresh too); no time answers 0.
double BrioGetTempo(BrioHost* brio);
std::int32_t BrioIsPlaying(BrioHost* brio);
std::int32_t BrioIsRecording(BrioHost* brio);
double BrioGetPpqPos(BrioHost* brio);
std::int32_t BrioGetTempoAndSignature(BrioHost* brio, double* tempo, double* numerator, double* denominator);

std::int32_t BrioUpdateDisplay(BrioHost* brio);
std::int32_t BrioSetInitialDelay(BrioHost* brio, std::int32_t samples);
