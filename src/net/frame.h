#pragma once
// The byte format of one exchange. A request is one line of compact JSON with
// keys in ascending order, raw UTF-8 and a line feed. A reply whose first byte
// is '{' or '[' is one line of JSON (a CR before the LF is ignored); any other
// first byte starts a 4-byte big-endian length followed by that many bytes.

#include "net/byte_source.h"
#include "net/command_response.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vel::frame {

// The longest JSON reply line accepted; replies are small, so a peer that sends
// this much without a line feed is not speaking the protocol.
inline constexpr size_t kMaxJsonReplyBytes = 64u * 1024u * 1024u;

// Payloads up to this size are read straight into one buffer of the announced
// size; larger ones grow with the bytes that actually arrive, so a corrupt
// length header cannot make the library reserve gigabytes up front.
inline constexpr size_t kDirectPayloadBytes = 64u * 1024u * 1024u;

// A payload whose length has 0x5B ('[') or 0x7B ('{') as its first byte cannot
// be sent (that byte would announce JSON), so every real payload is shorter
// than this. A longer announced length is garbage: refused at once, instead of
// waiting for bytes that never come.
inline constexpr size_t kLargestPayloadBytes = 0x5B000000u;

// Takes a binary reply's payload off the source itself (for instance straight
// into the caller's array) instead of readReply storing it in a vector.
class PayloadReader {
public:
    virtual ~PayloadReader() = default;

    // Reads exactly length bytes from source; false when the source ends or
    // fails first.
    virtual bool readPayload(ByteSource& source, size_t length) = 0;
};

// How many bytes of a payload of the announced length to have room for next,
// with received bytes already in: all of them at once up to
// kDirectPayloadBytes, otherwise twice what has arrived (at least
// kDirectPayloadBytes, at most length).
size_t nextPayloadTarget(size_t length, size_t received);

// Reads a payload of the announced length into payload (a byte vector,
// resized to it; its storage is reused), growing as nextPayloadTarget says.
// False when the source ends or fails first.
template <class Bytes>
bool readPayloadInto(ByteSource& source, size_t length, Bytes& payload) {
    payload.clear();
    size_t received = 0;
    while (received < length) {
        const size_t target = nextPayloadTarget(length, received);
        payload.resize(target);
        if (!source.readExact(payload.data() + received, target - received)) {
            return false;
        }
        received = target;
    }
    return true;
}

// Reads and drops n bytes; false when the source ends or fails first.
bool skipBytes(ByteSource& source, size_t n);

// The request text including its final line feed. Throws the JSON library's
// type error for strings that are not valid UTF-8.
std::string encodeRequest(const nlohmann::json& request);

// Reads one complete reply. Throws std::runtime_error "Failed to read response",
// "Failed to read binary length header", "Binary length header above the
// largest payload" or "Failed to read full binary data",
// the source's "read_until" error, or the JSON library's parse error.
CommandResponse readReply(ByteSource& source);

// readReply, but a binary payload goes to payloadReader and the response holds
// an empty binary payload. "Failed to read full binary data" when the reader
// returns false.
CommandResponse readReply(ByteSource& source, PayloadReader& payloadReader);

// readReply reading a JSON line into lineBuffer, which a connection keeps from
// reply to reply so that a steady stream of commands allocates no line storage
// (a line above 64 KiB does not stay in it); a null payloadReader keeps a
// binary payload in the response.
CommandResponse readReply(ByteSource& source, std::string& lineBuffer, PayloadReader* payloadReader);

}  // namespace vel::frame
