#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltrano::sim {

// FNV-1a 64: the checksum "sim_acq_stats" reports for the bytes of a stream, so
// that a client can verify what it received without keeping a copy.
class Fnv1a64 {
public:
    static constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
    static constexpr std::uint64_t kPrime = 0x100000001b3ULL;

    void update(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        std::uint64_t h = value_;
        for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * kPrime;
        value_ = h;
    }
    std::uint64_t value() const { return value_; }

    // 16 lower-case hexadecimal digits.
    static std::string hex(std::uint64_t value) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text(16, '0');
        for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
        return text;
    }

private:
    std::uint64_t value_ = kOffsetBasis;
};

}  // namespace veltrano::sim
