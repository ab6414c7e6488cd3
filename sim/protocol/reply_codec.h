#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/protocol/reply.h"

namespace veltrano::sim {

// A binary payload must stay below 0x5B000000 bytes: its length's first byte
// would otherwise read as the start of a JSON reply ('[' or '{').
inline constexpr std::uint64_t kMaxBinaryPayload = 0x5AFFFFFF;

// The exact bytes of a reply on the wire: compact JSON and a line feed, or the
// length header followed by the payload, ready for a single write. An oversized
// payload is replaced by an InternalError reply.
std::string encodeReply(const Reply& reply);

// The 4-byte big-endian length that precedes a binary payload of `size` bytes.
std::array<char, 4> binaryLengthHeader(std::uint32_t size);

// True when the reply goes out as a binary frame whose payload may be written
// from where it is (not JSON, not oversized).
bool isSendableBinary(const Reply& reply);

}  // namespace veltrano::sim
