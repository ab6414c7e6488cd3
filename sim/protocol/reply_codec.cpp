#include "sim/protocol/reply_codec.h"

namespace veltrano::sim {

std::string encodeReply(const Reply& reply) {
    if (reply.isJson()) {
        // Replacing invalid UTF-8 keeps an echoed request fragment from making dump() throw.
        std::string text = reply.json().dump(-1, ' ', false, Json::error_handler_t::replace);
        text.push_back('\n');
        return text;
    }
    const auto payload = reply.binary();
    if (payload.size() > kMaxBinaryPayload) {
        return encodeReply(errorReply(ResultCode::InternalError, "reply payload too large"));
    }
    const auto header = binaryLengthHeader(static_cast<std::uint32_t>(payload.size()));
    std::string bytes;
    bytes.reserve(header.size() + payload.size());
    bytes.append(header.data(), header.size());
    bytes.append(reinterpret_cast<const char*>(payload.data()), payload.size());
    return bytes;
}

std::array<char, 4> binaryLengthHeader(std::uint32_t size) {
    return {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
            static_cast<char>(size)};
}

bool isSendableBinary(const Reply& reply) { return !reply.isJson() && reply.binary().size() <= kMaxBinaryPayload; }

}  // namespace veltrano::sim
