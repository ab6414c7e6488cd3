#pragma once

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

}  // namespace veltrano::sim
