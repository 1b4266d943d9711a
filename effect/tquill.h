// TQuill: the section scheduler every translated effect derives from. It gives
// each script section a virtual slot and a default body, and turns the effect's
// state into a chunk of floats and back.
#pragma once

#include <cstdint>

#include "runtime/layers.h"

class TQuill : public CQuillMouse {
public:
    static constexpr float ChunkMarker = -1000.0f;

    TQuill();
    virtual ~TQuill() = default;

    virtual void DoReset();
    virtual void DoClose() {}
    virtual void DoSuspend() {}
    virtual void DoResume();
    virtual void DoInit() {}
    virtual void EnsureInit();
    virtual void DoGfx() {}
    virtual void DoIdle() {}
    virtual void DoSerialize() {}
    // Answers byteCount whatever the bytes hold; a chunk without the marker is ignored.
    virtual std::int32_t DoSetChunk(const void* chunkIn, std::int32_t byteCount, bool isPreset);
    // Answers the chunk's size, 0 when there is none. The bytes belong to
    // stream 0 until the next chunk call or the effect's destruction.
    virtual std::int32_t DoGetChunk(void** chunkOut, bool isPreset);

    std::int32_t initCount = 0;
};
