// Services the wrapper offers the effect's sections. Each takes the wrapper
// first and answers 0 (or writes nothing) when it is null.
#pragma once

#include "plugin/vst_abi.h"

class CBrio;

AEffect* BrioGetAEffect(CBrio* brio);
VstInt32 BrioGetNumInputs(CBrio* brio);
VstInt32 BrioSetNumInputs(CBrio* brio, VstInt32 count);
VstInt32 BrioSetNumOutputs(CBrio* brio, VstInt32 count);
VstInt32 BrioSetUniqueID(CBrio* brio, VstInt32 id);
VstInt32 BrioProgramsAreChunks(CBrio* brio, bool on);
float BrioGetSampleRate(CBrio* brio);
VstInt32 BrioGetBlockSize(CBrio* brio);

// Host time: every call asks the host again; a null time record answers 0.
double BrioGetTempo(CBrio* brio);
VstInt32 BrioIsPlaying(CBrio* brio);
VstInt32 BrioIsRecording(CBrio* brio);
double BrioGetPpqPos(CBrio* brio);
VstInt32 BrioGetTempoAndSignature(CBrio* brio, double* tempo, double* numerator, double* denominator);

VstInt32 BrioUpdateDisplay(CBrio* brio);
VstInt32 BrioSetInitialDelay(CBrio* brio, VstInt32 samples);
