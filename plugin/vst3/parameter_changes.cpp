#include "plugin/vst3/parameter_changes.h"

namespace vst3_plugin {

void QueuedPoints::Gather(vst3::IParameterChanges* changes, std::int32_t parameterCount, std::int32_t numSamples) {
    used_ = 0;
    numSamples_ = numSamples > 0 ? numSamples : 0;
    if (!changes) return;
    const std::int32_t queues = changes->getParameterCount();
    for (std::int32_t q = 0; q < queues && used_ < kMaxQueues; ++q) {
        vst3::IParamValueQueue* queue = changes->getParameterData(q);
        if (!queue) continue;
        const vst3::ParamID id = queue->getParameterId();
        if (id >= static_cast<vst3::ParamID>(parameterCount)) continue;
        const std::int32_t count = queue->getPointCount();
        Cursor& cursor = cursors_[used_++];
        cursor = {queue, static_cast<std::int32_t>(id), count > 0 ? count : 0, 0, 0, 0.0, false};
        Load(cursor);
    }
}

std::int32_t QueuedPoints::NextOffset() const {
    std::int32_t next = kNone;
    for (int i = 0; i < used_; ++i)
        if (cursors_[i].loaded && cursors_[i].offset < next) next = cursors_[i].offset;
    return next;
}

void QueuedPoints::Load(Cursor& cursor) {
    cursor.loaded = false;
    while (cursor.next < cursor.count) {
        std::int32_t offset = 0;
        double value = 0.0;
        const vst3::tresult result = cursor.queue->getPoint(cursor.next++, &offset, &value);
        if (result != vst3::kResultOk) continue;
        if (offset < cursor.offset) offset = cursor.offset;
        if (offset > numSamples_) offset = numSamples_;
        cursor.offset = offset;
        cursor.value = value;
        cursor.loaded = true;
        return;
    }
}

} // namespace vst3_plugin
