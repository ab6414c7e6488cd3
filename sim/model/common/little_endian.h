#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace veltrano::sim {

// Writes an integer's bytes at `out`, least significant first, whatever the host's order.
template <class T>
void putLittleEndian(unsigned char* out, T value) {
    using Unsigned = std::make_unsigned_t<T>;
    auto bits = static_cast<Unsigned>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i, bits = static_cast<Unsigned>(bits >> 8)) {
        out[i] = static_cast<unsigned char>(bits & 0xFF);
    }
}

}  // namespace veltrano::sim
