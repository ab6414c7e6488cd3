#include "sim/model/acquisition/stream_pattern.h"

#include <algorithm>

#include "sim/model/common/fnv1a.h"

namespace veltrano::sim {

SharedBytes makeStreamPattern(std::uint64_t seed, std::size_t size) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(size);
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < size; i += 8) {
        state += 0x9e3779b97f4a7c15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        for (std::size_t b = 0; b < 8 && i + b < size; ++b) (*bytes)[i + b] = static_cast<std::uint8_t>(z >> (8 * b));
    }
    return bytes;
}

std::uint64_t repeatedPatternChecksum(const std::vector<std::uint8_t>& pattern, std::uint64_t length) {
    Fnv1a64 hash;
    while (length > 0 && !pattern.empty()) {
        const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(length, pattern.size()));
        hash.update(pattern.data(), part);
        length -= part;
    }
    return hash.value();
}

}  // namespace veltrano::sim
