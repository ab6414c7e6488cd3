#pragma once
// The text-copy rule shared by every text output of the library: copy at most
// capacity - 1 bytes and a NUL when the buffer is usable; a null buffer or a
// capacity <= 0 receives nothing. Longer text is cut silently.

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vel {

inline void copyText(char* buffer, int capacity, std::string_view text) noexcept {
    if (buffer == nullptr || capacity <= 0) {
        return;
    }
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity) - 1);
    if (n > 0) {
        std::memcpy(buffer, text.data(), n);
    }
    buffer[n] = '\0';
}

}  // namespace vel
