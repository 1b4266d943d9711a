// What every format's wrapper uses beside the bare table: read-only facts of
// the effect's sliders for a format's metadata, the one rule by which values
// from the newer formats (LV2, CLAP, VST3) reach the effect, chunks with that
// rule's clamping, and processing a call in parts. Everything that changes
// state or runs a section still goes through the instance's table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/brio_instance.h"

// ---- read-only facts (main thread; they never change after construction) ----

struct BrioSliderFacts {
    const std::string* name = nullptr;
    const std::string* label = nullptr;
    double minimum = 0.0;
    double maximum = 0.0;
    double step = 0.0;
    double defaultValue = 0.0;
    const std::vector<std::string>* enumNames = nullptr; // empty for a continuous slider
};

std::int32_t BrioSliderCount(const BrioInstance* brio);
// False (out untouched) for an unknown index or an instance without an effect.
bool BrioGetSliderFacts(const BrioInstance* brio, std::int32_t index, BrioSliderFacts* out);

// The effect's current value of slider index in its own units. Read without
// synchronisation: call it where no other thread changes the slider.
double BrioSliderValue(const BrioInstance* brio, std::int32_t index);

// The text the VST 2.4 display shows for plain value of slider index (an
// enumeration name, or two decimals), cut to capacity - 1 bytes and
// terminated. False, writing nothing, for an unknown index, a null text or capacity 0.
bool BrioFormatValue(const BrioInstance* brio, std::int32_t index, double plain, char* text, std::size_t capacity);
// Reads such a text back: an enumeration name (case ignored) or a number,
// with leading and trailing blanks. False for anything else.
bool BrioParseValue(const BrioInstance* brio, std::int32_t index, const char* text, double* plain);

// (plain - minimum) / (maximum - minimum) in double, and back; 0 and minimum
// for an unknown index or an empty range.
double BrioPlainToNormalised(const BrioInstance* brio, std::int32_t index, double plain);
double BrioNormalisedToPlain(const BrioInstance* brio, std::int32_t index, double normalised);
// The plain value slider index takes when the newer formats' rule hands it
// normalised (clamped, narrowed to float, quantised to the step), without
// setting anything; the minimum for a non-finite value.
double BrioQuantisedPlain(const BrioInstance* brio, std::int32_t index, double normalised);

// ---- the newer formats' rule (main or audio thread, through slot 21) ----

// A non-finite value is ignored; otherwise it is clamped to 0 … 1, narrowed
// to float and handed on as the VST 2.4 module's setParameter hands the
// host's float, so the effect's own quantisation decides.
void BrioSetNormalised(BrioInstance* brio, std::int32_t index, double normalised);
void BrioSetPlain(BrioInstance* brio, std::int32_t index, double plain);

// ---- chunks (slots 27 and 28) ----

// Chunk element n carries slider number n. In bytes a caller owns, each
// element that belongs to a slider is clamped to the slider's range, and a
// non-finite one replaced by its default; other elements stay as read.
void BrioClampChunk(const BrioInstance* brio, void* bytes, std::int32_t byteCount);
// Copies, clamps and restores through slot 28; answers the slot's answer
// (byteCount), 0 with nothing changed for a null instance or null bytes.
std::int32_t BrioLoadChunk(BrioInstance* brio, const void* bytes, std::int32_t byteCount);
// Slot 27: the chunk's size, its address through data; 0 for none.
std::int32_t BrioSaveChunk(BrioInstance* brio, void** data);
// Whether bytes begin with the chunk marker -1000.0 (at least 4 bytes).
bool BrioChunkHasMarker(const void* bytes, std::size_t byteCount);

// ---- processing in parts (audio thread, through slots 25 and 26) ----

// Frames [begin, end) of one host call whose buffers hold at least end
// frames. The block section runs first only when runBlock: a wrapper that
// splits a call at parameter changes passes true for the first part only,
// so the block section runs once per call however it is split.
void BrioProcessRange(BrioInstance* brio, float** inputs, float** outputs, std::int32_t begin, std::int32_t end,
                      bool runBlock);
void BrioProcessRange(BrioInstance* brio, double** inputs, double** outputs, std::int32_t begin, std::int32_t end,
                      bool runBlock);

// A whole call, unsplit: the slot itself, without a segment to set and clear.
inline void BrioProcessWhole(BrioInstance* brio, float** inputs, float** outputs, std::int32_t frames) {
    if (brio->callbacks.processReplacing) brio->callbacks.processReplacing(brio, inputs, outputs, frames);
}
inline void BrioProcessWhole(BrioInstance* brio, double** inputs, double** outputs, std::int32_t frames) {
    if (brio->callbacks.processDoubleReplacing) brio->callbacks.processDoubleReplacing(brio, inputs, outputs, frames);
}
