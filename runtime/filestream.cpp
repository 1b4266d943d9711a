#include "runtime/filestream.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "runtime/datapath.h"
#include "runtime/number.h"

static_assert(std::endian::native == std::endian::little, "chunks are little-endian floats copied as they lie");

void FileStream::Close() {
    if (mode == kWriting && !fileName.empty()) {
        if (std::FILE* file = std::fopen(quill::DataPath(fileName).c_str(), "wb")) {
            for (float value : data) std::fputc(quill::ToIndex(value) & 0xFF, file);
            std::fclose(file);
        }
    }
    fileName.clear();
    position = 0;
    data.clear();
    mode = kClosed;
}

void FileStream::OpenForWriting() {
    Close();
    mode = kWriting;
}

void FileStream::OpenForReading(const void* bytes, std::int32_t length) {
    Close();
    mode = kReading;
    if (!bytes || length < 4) return;
    data.resize(static_cast<std::size_t>(length) / 4);
    std::memcpy(data.data(), bytes, data.size() * sizeof(float));
}

void FileStream::WriteNumber(double value) {
    if (mode != kWriting || position < 0) return;
    const auto at = static_cast<std::size_t>(position);
    if (data.size() < at + 1) data.resize(at + 1, 0.0f);
    data[at] = static_cast<float>(value);
    ++position;
}

void FileStream::ReadNumber(double& variable) {
    if (mode != kReading || position < 0) return;
    if (static_cast<std::size_t>(position) < data.size()) {
        variable = data[static_cast<std::size_t>(position)];
        ++position;
    }
}
