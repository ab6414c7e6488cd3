#include "net/frame.h"

#include <algorithm>
#include <stdexcept>

namespace vel::frame {

std::string encodeRequest(const nlohmann::json& request) {
    std::string text = request.dump();
    text.push_back('\n');
    return text;
}

namespace {

CommandResponse readJsonReply(ByteSource& source, uint8_t first) {
    std::string line;
    line.reserve(128);
    line.push_back(static_cast<char>(first));
    source.readUntilLineFeed(line, kMaxJsonReplyBytes);
    size_t end = line.find('\n');
    if (end != std::string::npos && end > 0 && line[end - 1] == '\r') {
        --end;
    }
    line.resize(end);
    return CommandResponse(nlohmann::json::parse(line));
}

CommandResponse readBinaryReply(ByteSource& source, uint8_t first) {
    uint8_t rest[3];
    if (!source.readExact(rest, sizeof rest)) {
        throw std::runtime_error("Failed to read binary length header");
    }
    const size_t length = (static_cast<size_t>(first) << 24) | (static_cast<size_t>(rest[0]) << 16) |
                          (static_cast<size_t>(rest[1]) << 8) | static_cast<size_t>(rest[2]);
    std::vector<uint8_t> payload;
    size_t received = 0;
    while (received < length) {
        // Grow to the announced size at once when it is moderate, otherwise by
        // doubling what has already arrived.
        const size_t target =
            length <= kDirectPayloadBytes ? length : std::min(length, std::max(kDirectPayloadBytes, 2 * received));
        payload.resize(target);
        if (!source.readExact(payload.data() + received, target - received)) {
            throw std::runtime_error("Failed to read full binary data");
        }
        received = target;
    }
    return CommandResponse(std::move(payload));
}

}  // namespace

CommandResponse readReply(ByteSource& source) {
    uint8_t first = 0;
    if (!source.readByte(first)) {
        throw std::runtime_error("Failed to read response");
    }
    if (first == '{' || first == '[') {
        return readJsonReply(source, first);
    }
    return readBinaryReply(source, first);
}

}  // namespace vel::frame
