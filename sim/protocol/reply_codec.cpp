#include "sim/protocol/reply_codec.h"

namespace veltrano::sim {

std::string encodeReply(const Reply& reply) {
    if (reply.isJson()) {
        // Replacing invalid UTF-8 keeps an echoed request fragment from making dump() throw.
        std::string text = reply.json().dump(-1, ' ', false, Json::error_handler_t::replace);
        text.push_back('\n');
        return text;
    }
    const auto& payload = reply.binary();
    if (payload.size() > kMaxBinaryPayload) {
        return encodeReply(errorReply(ResultCode::InternalError, "reply payload too large"));
    }
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::string bytes;
    bytes.reserve(4 + payload.size());
    bytes.push_back(static_cast<char>(n >> 24));
    bytes.push_back(static_cast<char>(n >> 16));
    bytes.push_back(static_cast<char>(n >> 8));
    bytes.push_back(static_cast<char>(n));
    bytes.append(reinterpret_cast<const char*>(payload.data()), payload.size());
    return bytes;
}

}  // namespace veltrano::sim
