// The parameter changes of one process call, taken in sample-offset order
// across all queues, so that the call can be processed in parts split at
// each point: every point is a step at its own offset, not a ramp.
#pragma once

#include <cstdint>
#include <limits>

#include "plugin/vst3/vst3_abi.h"

namespace vst3_plugin {

class QueuedPoints {
public:
    static constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
    // More queues than any host sends for six parameters; further ones are ignored.
    static constexpr int kMaxQueues = 64;

    // Audio thread. Keeps the queues whose IDs are parameters 0 … parameterCount - 1;
    // offsets are clamped into [0, numSamples] and never run backwards within a queue.
    void Gather(vst3::IParameterChanges* changes, std::int32_t parameterCount, std::int32_t numSamples);

    // The offset of the earliest point not yet taken, kNone when there is none.
    std::int32_t NextOffset() const;

    // Hands each point at or before offset to apply(parameter, value), each queue's in its order.
    template <class Apply>
    void TakeUpTo(std::int32_t offset, Apply&& apply) {
        for (int i = 0; i < used_; ++i) {
            Cursor& cursor = cursors_[i];
            while (cursor.loaded && cursor.offset <= offset) {
                apply(cursor.parameter, cursor.value);
                Load(cursor);
            }
        }
    }

private:
    struct Cursor {
        vst3::IParamValueQueue* queue;
        std::int32_t parameter;
        std::int32_t count;
        std::int32_t next;
        std::int32_t offset;
        double value;
        bool loaded;
    };
    // Moves to the queue's next point that the host answers for.
    void Load(Cursor& cursor);

    Cursor cursors_[kMaxQueues];
    int used_ = 0;
    std::int32_t numSamples_ = 0;
};

} // namespace vst3_plugin
