// The state extension: the effect's chunk as one property.
#include <cstdint>
#include <limits>

#include <lv2/state/state.h>

#include "core/brio_format.h"
#include "plugin/lv2/lv2_instance.h"

namespace {

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, std::uint32_t,
                      const LV2_Feature* const*) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self || !store) return LV2_STATE_ERR_UNKNOWN;
    // The property's key and type are URIDs: without the host's map there are none.
    if (!self->mapped) return LV2_STATE_ERR_NO_FEATURE;
    try {
        void* data = nullptr;
        const std::int32_t size = BrioSaveChunk(&self->brio, &data);
        if (size <= 0 || !data) return LV2_STATE_ERR_UNKNOWN;
        return store(state, self->urids.chunkKey, data, static_cast<std::size_t>(size), self->urids.atomChunk,
                     LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, std::uint32_t,
                         const LV2_Feature* const*) noexcept {
    auto* self = static_cast<Lv2Instance*>(handle);
    if (!self || !retrieve) return LV2_STATE_ERR_UNKNOWN;
    if (!self->mapped) return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    const void* value = retrieve(state, self->urids.chunkKey, &size, &type, &flags);
    if (!value) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != self->urids.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    if (size == 0 || size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return LV2_STATE_ERR_UNKNOWN;
    try {
        // The chunk rules decide what the bytes mean; the core clamps them.
        BrioLoadChunk(&self->brio, value, static_cast<std::int32_t>(size));
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
    // The ports are the host's: the next run hands the effect all of them again.
    self->RefreshControls();
    return LV2_STATE_SUCCESS;
}

const LV2_State_Interface kInterface = {Save, Restore};

} // namespace

const void* Lv2StateInterface() { return &kInterface; }
