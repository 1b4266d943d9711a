#include "effect/tquill.h"

#include <limits>

TQuill::TQuill() {
    initCount = 0;
    TQuill::DoReset(); // the effect's own reset is not in force yet
}

void TQuill::DoReset() {
    memoryBlocks.clear();
    ResetStrings();
}

void TQuill::DoResume() {
    DoInit();
    DoSlider();
}

void TQuill::EnsureInit() {
    if (initCount == 0) DoInit();
    if (initCount < std::numeric_limits<std::int32_t>::max()) ++initCount;
}

std::int32_t TQuill::DoSetChunk(const void* chunkIn, std::int32_t byteCount, bool) {
    FileStream& stream = files[0];
    stream.OpenForReading(chunkIn, byteCount);
    if (stream.data.empty()) return byteCount;
    double marker = 0.0;
    stream.ReadNumber(marker);
    if (marker != static_cast<double>(ChunkMarker)) return byteCount;
    EnsureInit();
    DoSerialize();
    DoSlider();
    return byteCount;
}

std::int32_t TQuill::DoGetChunk(void** chunkOut, bool) {
    if (!chunkOut) return 0;
    FileStream& stream = files[0];
    stream.OpenForWriting();
    stream.WriteNumber(ChunkMarker);
    DoSerialize();
    if (stream.data.size() <= 1) return 0;
    *chunkOut = stream.data.data();
    return static_cast<std::int32_t>(stream.data.size() * sizeof(float));
}
