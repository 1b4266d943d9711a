// A script file stream: a sequence of 32-bit floats read or written in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileStream {
    enum Mode : std::int32_t { kClosed = 0, kReading = 1, kWriting = 2 };

    std::string fileName; // relative to the plug-in's folder; empty: no file
    std::int32_t position = 0;
    std::vector<float> data;
    std::int32_t mode = kClosed;

    // Writes a writing stream with a file name out (one byte per float), then clears it.
    void Close();
    void OpenForWriting();
    // Takes length / 4 little-endian floats from the bytes; a null pointer or a
    // negative length gives an empty stream.
    void OpenForReading(const void* bytes, std::int32_t length);
    void WriteNumber(double value);
    // Leaves the variable unchanged past the end or outside reading mode.
    void ReadNumber(double& variable);
};
