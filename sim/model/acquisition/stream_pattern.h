#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace veltrano::sim {

using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// The bytes the stream mode hands out: byte i of a stream is byte i mod size of
// this pattern, made of splitmix64 outputs of the seed written little-endian.
SharedBytes makeStreamPattern(std::uint64_t seed, std::size_t size);

// FNV-1a 64 of the first `length` bytes of the endless repetition of `pattern`.
std::uint64_t repeatedPatternChecksum(const std::vector<std::uint8_t>& pattern, std::uint64_t length);

}  // namespace veltrano::sim
