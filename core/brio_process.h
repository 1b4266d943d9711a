// The frame loop every format's processing runs: one block section per host
// call, then one sample section per frame with the frame's samples in the
// sample slots. The effect's type is known here, so the per-frame call is
// resolved at compile time and inlined.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/brio_instance.h"
#include "effect/tquill_effect.h"

namespace brio {

// Whether two buffers of frames samples share memory without starting at the
// same sample: hosts process in place, but never shifted.
template <class Sample>
bool OverlapShifted(const Sample* a, const Sample* b, std::int32_t frames) {
    const auto x = reinterpret_cast<std::uintptr_t>(a), y = reinterpret_cast<std::uintptr_t>(b);
    const std::uintptr_t bytes = static_cast<std::uintptr_t>(frames) * sizeof(Sample);
    return x != y && x < y + bytes && y < x + bytes;
}

// Double buffers may alias the effect's own double members, so a frame loop
// over them makes the compiler reload and re-store every member on every
// frame. Runs of frames are staged through local arrays instead, which alias
// nothing; the results are the same bits, as each frame reads only its own
// samples.
inline void ProcessStaged(TQuillEffect& effect, const double* in0, const double* in1, double* out0, double* out1,
                          std::int32_t frames) {
    constexpr std::int32_t kRun = 256;
    double a[kRun], b[kRun];
    double* slots = effect.sampleSlots.data();
    for (std::int32_t start = 0; start < frames; start += kRun) {
        const std::int32_t n = frames - start < kRun ? frames - start : kRun;
        std::memcpy(a, in0 + start, sizeof(double) * n);
        std::memcpy(b, in1 + start, sizeof(double) * n);
        for (std::int32_t j = 0; j < n; ++j) {
            slots[0] = a[j];
            slots[1] = b[j];
            effect.DoSample();
            a[j] = slots[0];
            b[j] = slots[1];
        }
        std::memcpy(out0 + start, a, sizeof(double) * n);
        std::memcpy(out1 + start, b, sizeof(double) * n);
    }
}

// Audio side. Frames [begin, frames) of one host call, after the block
// section when runBlock. Always inlined: a whole call passes the constants
// true and 0, and its loop is then the plain one.
template <class Sample>
[[gnu::always_inline]] inline void Process(TQuillEffect& effect, std::int32_t channels, bool runBlock,
                                           std::int32_t begin, Sample** inputs, Sample** outputs, std::int32_t frames) {
    if (runBlock) effect.DoBlock();
    if (frames - begin <= 0) return;
    double* slots = effect.sampleSlots.data();
    if (channels == 2) {
        if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
        const Sample* in0 = inputs[0] + begin;
        const Sample* in1 = inputs[1] + begin;
        Sample* out0 = outputs[0] + begin;
        Sample* out1 = outputs[1] + begin;
        const std::int32_t n = frames - begin;
        if constexpr (sizeof(Sample) == sizeof(double)) {
            const bool shifted = OverlapShifted(out0, out1, n) || OverlapShifted(out0, in0, n) ||
                                 OverlapShifted(out0, in1, n) || OverlapShifted(out1, in0, n) ||
                                 OverlapShifted(out1, in1, n);
            if (!shifted) return ProcessStaged(effect, in0, in1, out0, out1, n);
        }
        for (std::int32_t j = 0; j < n; ++j) {
            slots[0] = in0[j];
            slots[1] = in1[j];
            effect.DoSample();
            out0[j] = static_cast<Sample>(slots[0]);
            out1[j] = static_cast<Sample>(slots[1]);
        }
        return;
    }
    if (channels <= 0) {
        for (std::int32_t j = begin; j < frames; ++j) effect.DoSample();
        return;
    }
    // Never more channels than there are sample slots.
    const std::int32_t n = channels < CQuillSamples::kSampleSlotCount ? channels : CQuillSamples::kSampleSlotCount;
    if (!inputs || !outputs) return;
    for (std::int32_t c = 0; c < n; ++c)
        if (!inputs[c] || !outputs[c]) return;
    for (std::int32_t j = begin; j < frames; ++j) {
        for (std::int32_t c = n - 1; c >= 0; --c) slots[c] = inputs[c][j];
        effect.DoSample();
        for (std::int32_t c = n - 1; c >= 0; --c) outputs[c][j] = static_cast<Sample>(slots[c]);
    }
}

// One processing slot's work: a whole call, or the part of a split call the
// instance's segment names.
template <class Sample>
[[gnu::always_inline]] inline void ProcessCall(BrioInstance& brio, std::int32_t channels, Sample** inputs,
                                               Sample** outputs, std::int32_t frames) {
    TQuillEffect& effect = *static_cast<TQuillEffect*>(brio.effect);
    const BrioInstance::Segment segment = brio.segment;
    if (segment.runBlock && segment.firstFrame == 0) [[likely]]
        Process(effect, channels, true, 0, inputs, outputs, frames);
    else Process(effect, channels, segment.runBlock, segment.firstFrame, inputs, outputs, frames);
}

} // namespace brio
