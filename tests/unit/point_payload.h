#pragma once
// Point-list payloads as the service sends them: a little-endian 32-bit count,
// then little-endian (x, y) doubles.

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

inline void appendLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The payload of points, announcing announced points (default: all of them).
inline std::string pointPayload(const std::vector<std::pair<double, double>>& points, int64_t announced = -1) {
    std::string out;
    appendLe(out, static_cast<uint32_t>(announced < 0 ? points.size() : static_cast<uint64_t>(announced)), 4);
    for (const auto& [x, y] : points) {
        uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        appendLe(out, bits, 8);
        std::memcpy(&bits, &y, sizeof bits);
        appendLe(out, bits, 8);
    }
    return out;
}

}  // namespace veltest
