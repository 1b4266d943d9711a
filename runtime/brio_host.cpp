#include "runtime/brio_host.h"

std::int32_t BrioGetNumInputs(BrioHost* brio) { return brio ? brio->GetNumInputs() : 0; }

std::int32_t BrioSetNumInputs(BrioHost* brio, std::int32_t count) {
    if (!brio) return 0;
    brio->SetNumInputs(count);
    return 1;
}

std::int32_t BrioSetNumOutputs(BrioHost* brio, std::int32_t count) {
    if (!brio) return 0;
    brio->SetNumOutputs(count);
    return 1;
}

std::int32_t BrioSetUniqueID(BrioHost* brio, std::int32_t id) {
    if (!brio) return 0;
    brio->SetUniqueID(id);
    return 1;
}

std::int32_t BrioProgramsAreChunks(BrioHost* brio, bool on) {
    if (!brio) return 0;
    brio->ProgramsAreChunks(on);
    return 1;
}

float BrioGetSampleRate(BrioHost* brio) { return brio ? brio->GetSampleRate() : 0.0f; }
std::int32_t BrioGetBlockSize(BrioHost* brio) { return brio ? brio->GetBlockSize() : 0; }
double BrioGetTempo(BrioHost* brio) { return brio ? brio->GetTempo() : 0.0; }
std::int32_t BrioIsPlaying(BrioHost* brio) { return brio ? brio->IsPlaying() : 0; }
std::int32_t BrioIsRecording(BrioHost* brio) { return brio ? brio->IsRecording() : 0; }
double BrioGetPpqPos(BrioHost* brio) { return brio ? brio->GetPpqPos() : 0.0; }

std::int32_t BrioGetTempoAndSignature(BrioHost* brio, double* tempo, double* numerator, double* denominator) {
    return brio ? brio->GetTempoAndSignature(tempo, numerator, denominator) : 0;
}

std::int32_t BrioUpdateDisplay(BrioHost* brio) { return brio ? brio->UpdateDisplay() : 0; }

std::int32_t BrioSetInitialDelay(BrioHost* brio, std::int32_t samples) {
    if (!brio) return 0;
    brio->SetInitialDelay(samples);
    return 1;
}
