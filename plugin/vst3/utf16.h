// Text between the effect's 8-bit strings and the interface's UTF-16 fields.
#pragma once

#include <cstddef>
#include <string_view>

#include "plugin/vst3/vst3_abi.h"

namespace vst3_plugin {

// At most capacity - 1 units and a terminator; bytes outside ASCII become U+FFFD.
inline void CopyUtf16(vst3::char16* target, std::string_view text, std::size_t capacity) {
    if (!target || capacity == 0) return;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        target[i] = byte < 0x80 ? static_cast<vst3::char16>(byte) : u'\uFFFD';
    }
    target[n] = 0;
}

// An ASCII copy of a host's text of at most capacity - 1 units; false for
// anything outside ASCII or no terminator within them.
inline bool AsciiFromUtf16(const vst3::char16* source, char* target, std::size_t capacity) {
    if (!source || !target || capacity == 0) return false;
    for (std::size_t i = 0; i < capacity; ++i) {
        if (source[i] == 0) {
            target[i] = '\0';
            return true;
        }
        if (source[i] >= 0x80 || i + 1 == capacity) return false;
        target[i] = static_cast<char>(source[i]);
    }
    return false;
}

} // namespace vst3_plugin
