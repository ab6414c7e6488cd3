#pragma once
// The byte format of one exchange. A request is one line of compact JSON with
// keys in ascending order, raw UTF-8 and a line feed. A reply whose first byte
// is '{' or '[' is one line of JSON (a CR before the LF is ignored); any other
// first byte starts a 4-byte big-endian length followed by that many bytes.

#include "net/byte_source.h"
#include "net/command_response.h"

#include <nlohmann/json.hpp>

#include <string>

namespace vel::frame {

// The longest JSON reply line accepted; replies are small, so a peer that sends
// this much without a line feed is not speaking the protocol.
inline constexpr size_t kMaxJsonReplyBytes = 64u * 1024u * 1024u;

// Payloads up to this size are read straight into one buffer of the announced
// size; larger ones grow with the bytes that actually arrive, so a corrupt
// length header cannot make the library reserve gigabytes up front.
inline constexpr size_t kDirectPayloadBytes = 64u * 1024u * 1024u;

// The request text including its final line feed. Throws the JSON library's
// type error for strings that are not valid UTF-8.
std::string encodeRequest(const nlohmann::json& request);

// Reads one complete reply. Throws std::runtime_error "Failed to read response",
// "Failed to read binary length header" or "Failed to read full binary data",
// the source's "read_until" error, or the JSON library's parse error.
CommandResponse readReply(ByteSource& source);

}  // namespace vel::frame
