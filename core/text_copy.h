// The one way text reaches a host buffer: bounded, and always terminated.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Copies at most bound - 1 characters and a terminator; a bound of 0 writes nothing.
inline void CopyText(char* destination, std::string_view text, std::size_t bound) {
    if (!destination || bound == 0) return;
    const std::size_t n = text.size() < bound - 1 ? text.size() : bound - 1;
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
}
