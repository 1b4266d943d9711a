// BrioCallbackTable: the 29 function pointers through which every format's
// wrapper reaches the effect. Each entry takes the wrapper's instance first.
// A wrapper tests a slot for null before calling it; an empty slot makes the
// request answer 0 and change nothing.
//
// Threads. "Main" is the thread a host uses to create, configure and save a
// plug-in (a VST 2.4 dispatcher call, a CLAP main-thread call, a VST3
// controller or setup call, LV2 instantiate and state); "audio" is the thread
// that processes. Parameter changes (slot 21) come from either: the sections
// share the effect's variables without locks, on purpose, as hosts of every
// format may change a parameter while another thread processes.
#pragma once

#include <cstddef>
#include <cstdint>

class BrioInstance;

// Capacities of the text buffers the slots write: each copy is cut to the
// capacity minus one and always terminated. A wrapper hands in at least this many bytes.
inline constexpr std::size_t kBrioEffectNameCapacity = 32;    // slot 16
inline constexpr std::size_t kBrioVendorCapacity = 64;        // slot 14
inline constexpr std::size_t kBrioProductCapacity = 64;       // slot 15
inline constexpr std::size_t kBrioProgramNameCapacity = 24;   // slots 17 and 18 (read)
inline constexpr std::size_t kBrioParameterTextCapacity = 32; // slots 22, 23, 24

struct BrioCallbackTable {
    // 0, main, once, at the wrapper's construction: tells the wrapper the
    // effect's channel count (inputs and outputs), unique ID, and that programs are chunks.
    void (*init)(BrioInstance*);
    // 1, main, once, from the wrapper's destructor: deletes the effect.
    void (*destroy)(BrioInstance*);
    // 2, main: the effect's reset (every variable 0); a host's open.
    void (*open)(BrioInstance*);
    // 3, main: suspend (nothing for this effect); processing stops.
    void (*suspend)(BrioInstance*);
    // 4, main: resume, the init section then the slider section; processing starts.
    void (*resume)(BrioInstance*);
    // 5, main: the editor's idle tick. Filled, but no wrapper calls it: there is no editor.
    void (*idle)(BrioInstance*);
    // 6, main: close (nothing for this effect), before the wrapper is destroyed.
    void (*close)(BrioInstance*);
    // 7 to 12: the editor's view slots. Always empty: no editor is ever created.
    void (*view[6])(BrioInstance*);
    // 13, main: the effect's vendor version (1000).
    std::int32_t (*getVendorVersion)(BrioInstance*);
    // 14, 15, 16, main: vendor, product and effect name into text of at least
    // 64, 64 and 32 bytes. Answer 1, or 0 for a null text.
    std::int32_t (*getVendorString)(BrioInstance*, char* text);
    std::int32_t (*getProductString)(BrioInstance*, char* text);
    std::int32_t (*getEffectName)(BrioInstance*, char* text);
    // 17, main: the program name into text of at least 24 bytes.
    void (*getProgramName)(BrioInstance*, char* text);
    // 18, main: replaces the program name; text is read to at most 24 bytes.
    void (*setProgramName)(BrioInstance*, const char* text);
    // 19, main: indexed program names; answers 0 and writes nothing (one program).
    std::int32_t (*getProgramNameIndexed)(BrioInstance*, std::int32_t category, std::int32_t index, char* text);
    // 20, any thread: parameter index's value normalised to 0 … 1 (not
    // clamped here); 0 for an unknown index.
    double (*getParameter)(BrioInstance*, std::int32_t index);
    // 21, main or audio: a normalised value, quantised to the slider's step;
    // when the value really changed the slider section runs at once, on the
    // caller's thread. Unknown indexes and non-finite values are ignored.
    void (*setParameter)(BrioInstance*, std::int32_t index, double value);
    // 22, 23, 24, main: parameter name, label and display text into text of
    // at least 32 bytes; an unknown index writes nothing.
    void (*getParameterName)(BrioInstance*, std::int32_t index, char* text);
    void (*getParameterLabel)(BrioInstance*, std::int32_t index, char* text);
    void (*getParameterDisplay)(BrioInstance*, std::int32_t index, char* text);
    // 25, 26, audio: one host call of frames frames, float or double. Runs the
    // block section once (unless the instance's segment says the call's block
    // section ran already), then the sample section for each frame from the
    // segment's first frame up to frames.
    void (*processReplacing)(BrioInstance*, float** inputs, float** outputs, std::int32_t frames);
    void (*processDoubleReplacing)(BrioInstance*, double** inputs, double** outputs, std::int32_t frames);
    // 27, main: the state chunk. Stores its address through data and answers
    // its size in bytes (260), 0 for none; the bytes stay the effect's until
    // the next chunk call or its deletion.
    std::int32_t (*getChunk)(BrioInstance*, void** data, bool isPreset);
    // 28, main (or audio, where a format hands a load to the next process
    // call): restores from byteCount bytes, which are copied; answers byteCount.
    std::int32_t (*setChunk)(BrioInstance*, void* data, std::int32_t byteCount, bool isPreset);
};
static_assert(sizeof(BrioCallbackTable) == 29 * sizeof(void (*)()));
static_assert(offsetof(BrioCallbackTable, getVendorVersion) == 13 * sizeof(void (*)()));
static_assert(offsetof(BrioCallbackTable, processReplacing) == 25 * sizeof(void (*)()));
static_assert(offsetof(BrioCallbackTable, setChunk) == 28 * sizeof(void (*)()));

// The crossfader's table: slots 0 to 6 and 13 to 28 filled, 7 to 12 empty.
BrioCallbackTable BrioMakeCallbackTable();

class TQuill;

// A new crossfader, for a wrapper to own and hand back through slot 1; throws
// std::bad_alloc when memory runs out.
TQuill* BrioNewEffect();
