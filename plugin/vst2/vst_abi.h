// Declarations of the VST 2.4 binary interface: types, records, constants and
// opcodes, written from the published facts. Declarations only.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t; // pointer-sized in both directions of the interface

struct AEffect;

// Host callback and dispatcher share one signature.
using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                    void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                      void* ptr, float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
using AEffectProcessDoubleProc = void(VSTCALLBACK*)(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);
using VstPluginMainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

struct AEffect {
    VstInt32 magic;                                  // kEffectMagic
    AEffectDispatcherProc dispatcher;                // host -> plug-in requests
    AEffectProcessProc process;                      // deprecated accumulating process
    AEffectSetParameterProc setParameter;            // index, normalised value
    AEffectGetParameterProc getParameter;            // index -> normalised value
    VstInt32 numPrograms;                            // program count
    VstInt32 numParams;                              // parameter count
    VstInt32 numInputs;                              // audio input channels
    VstInt32 numOutputs;                             // audio output channels
    VstInt32 flags;                                  // effFlags… bits
    VstIntPtr resvd1;                                // reserved, 0
    VstIntPtr resvd2;                                // reserved, 0
    VstInt32 initialDelay;                           // latency in samples
    VstInt32 realQualities;                          // deprecated
    VstInt32 offQualities;                           // deprecated
    float ioRatio;                                   // output/input rate ratio
    void* object;                                    // the plug-in's own object
    void* user;                                      // free for the host
    VstInt32 uniqueID;                               // registered plug-in ID
    VstInt32 version;                                // plug-in version
    AEffectProcessProc processReplacing;             // 32-bit float processing
    AEffectProcessDoubleProc processDoubleReplacing; // 64-bit float processing
    char future[56];                                 // reserved, zero
};

struct VstTimeInfo {
    double samplePos;          // current position in samples
    double sampleRate;         // current sample rate
    double nanoSeconds;        // system time
    double ppqPos;             // musical position in quarter notes
    double tempo;              // beats per minute
    double barStartPos;        // last bar start in quarter notes
    double cycleStartPos;      // loop start in quarter notes
    double cycleEndPos;        // loop end in quarter notes
    VstInt32 timeSigNumerator; // time signature numerator
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags; // kVstTransport… and validity bits
};

struct VstEvent {
    VstInt32 type;        // kVstMidiType, kVstSysExType, …
    VstInt32 byteSize;    // size of the event after this field
    VstInt32 deltaFrames; // offset into the block
    VstInt32 flags;
    char data[16];
};

struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2]; // hosts allocate as many as numEvents needs
};

struct VstMidiEvent {
    VstInt32 type; // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// clang-format off
inline constexpr VstInt32 kEffectMagic = 0x56737450; // 'VstP'
inline constexpr VstInt32 kVstVersion = 2400;

enum VstAEffectFlags : VstInt32 {
    effFlagsHasEditor = 1,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsCanDoubleReplacing = 4096,
};

enum VstPlugCategory : VstInt32 { kPlugCategUnknown = 0, kPlugCategEffect = 1, kPlugCategSynth = 2 };

enum VstStringConstants : VstInt32 {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxEffectNameLen = 32,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxLabelLen = 64,
    kVstMaxShortLabelLen = 8,
};

enum VstEventTypes : VstInt32 { kVstMidiType = 1, kVstSysExType = 6 };

enum VstTimeInfoFlags : VstInt32 {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 2,
    kVstTransportCycleActive = 4,
    kVstTransportRecording = 8,
    kVstAutomationWriting = 64,
    kVstAutomationReading = 128,
    kVstNanosValid = 256,
    kVstPpqPosValid = 512,
    kVstTempoValid = 1024,
    kVstBarsValid = 2048,
    kVstCyclePosValid = 4096,
    kVstTimeSigValid = 8192,
    kVstSmpteValid = 16384,
    kVstClockValid = 32768,
};

// Host -> plug-in requests. Arguments: index, value, ptr, opt as noted.
enum AEffectOpcodes : VstInt32 {
    effOpen = 0,                      // -
    effClose = 1,                     // -; the record is freed afterwards
    effSetProgram = 2,                // value: program
    effGetProgram = 3,                // -> program
    effSetProgramName = 4,            // ptr: text
    effGetProgramName = 5,            // ptr: buffer
    effGetParamLabel = 6,             // index, ptr: buffer
    effGetParamDisplay = 7,           // index, ptr: buffer
    effGetParamName = 8,              // index, ptr: buffer
    effSetSampleRate = 10,            // opt: rate
    effSetBlockSize = 11,             // value: frames
    effMainsChanged = 12,             // value: 0 off, else on
    effEditGetRect = 13,              // ptr: ERect**
    effEditOpen = 14,                 // ptr: window
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,                 // -> 'NvEf'
    effGetChunk = 23,                 // ptr: void**, index: is-preset -> bytes
    effSetChunk = 24,                 // ptr: data, value: bytes, index: is-preset
    effProcessEvents = 25,            // ptr: VstEvents*
    effCanBeAutomated = 26,           // index
    effString2Parameter = 27,         // index, ptr: text
    effGetProgramNameIndexed = 29,    // index: program, value: category, ptr: buffer
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,            // ptr: buffer
    effGetVendorString = 47,          // ptr: buffer
    effGetProductString = 48,         // ptr: buffer
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,                    // ptr: capability text
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,    // value: arrangement**, ptr: arrangement**
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,  // value: frames -> value
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

// Plug-in -> host requests.
enum AudioMasterOpcodes : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,           // value: filter -> VstTimeInfo* or 0
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};
// clang-format on

inline constexpr VstInt32 kVstIdentifyAnswer = 0x4E764566; // 'NvEf'

// Layouts as the published interface fixes them, for both pointer widths.
static_assert(sizeof(VstInt32) == 4);
static_assert(sizeof(VstIntPtr) == sizeof(void*));
static_assert(sizeof(VstTimeInfo) == 88);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64 && offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstEvent) == 32 && sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, midiData) == 24 && offsetof(VstMidiEvent, reserved2) == 31);
static_assert(offsetof(VstEvents, events) == 2 * sizeof(void*));
static_assert(sizeof(ERect) == 8);
#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(AEffect, dispatcher) == 4 && offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, resvd1) == 40 && offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64 && offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, processReplacing) == 80 && offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88);
static_assert(sizeof(VstEvents) == 16);
#else
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, resvd1) == 64 && offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96 && offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, processReplacing) == 120 && offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
static_assert(sizeof(VstEvents) == 32);
#endif
