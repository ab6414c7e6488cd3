#include "net/frame.h"

#include "net/reply_line_parser.h"

#include <algorithm>
#include <stdexcept>

namespace vel::frame {

std::string encodeRequest(const nlohmann::json& request) {
    std::string text = request.dump();
    text.push_back('\n');
    return text;
}

namespace {

// Reply lines up to this size leave their storage to the connection's next reply.
constexpr size_t kKeptLineBytes = 64 * 1024;

CommandResponse readJsonReply(ByteSource& source, uint8_t first, std::string& line) {
    // An unusually long line (or the bytes of a peer that never sent its line
    // feed) does not stay in the reused buffer.
    struct ReleaseLongLine {
        std::string& line;
        ~ReleaseLongLine() {
            if (line.capacity() > kKeptLineBytes) {
                std::string().swap(line);
            }
        }
    } releaseLongLine{line};
    line.clear();
    line.reserve(128);
    line.push_back(static_cast<char>(first));
    source.readUntilLineFeed(line, kMaxJsonReplyBytes);
    size_t end = line.find('\n');
    if (end != std::string::npos && end > 0 && line[end - 1] == '\r') {
        --end;
    }
    line.resize(end);
    return CommandResponse(parseReplyLine(line));
}

size_t readLengthHeader(ByteSource& source, uint8_t first) {
    uint8_t rest[3];
    if (!source.readExact(rest, sizeof rest)) {
        throw std::runtime_error("Failed to read binary length header");
    }
    const size_t length = (static_cast<size_t>(first) << 24) | (static_cast<size_t>(rest[0]) << 16) |
                          (static_cast<size_t>(rest[1]) << 8) | static_cast<size_t>(rest[2]);
    if (length >= kLargestPayloadBytes) {
        throw std::runtime_error("Binary length header above the largest payload");
    }
    return length;
}

}  // namespace

// A null payloadReader keeps the payload in the response.
CommandResponse readReply(ByteSource& source, std::string& lineBuffer, PayloadReader* payloadReader) {
    uint8_t first = 0;
    if (!source.readByte(first)) {
        throw std::runtime_error("Failed to read response");
    }
    if (first == '{' || first == '[') {
        return readJsonReply(source, first, lineBuffer);
    }
    const size_t length = readLengthHeader(source, first);
    std::vector<uint8_t> payload;
    const bool complete = payloadReader != nullptr ? payloadReader->readPayload(source, length)
                                                   : readPayloadInto(source, length, payload);
    if (!complete) {
        throw std::runtime_error("Failed to read full binary data");
    }
    return CommandResponse(std::move(payload));
}

size_t nextPayloadTarget(size_t length, size_t received) {
    if (length <= kDirectPayloadBytes) {
        return length;
    }
    return std::min(length, std::max(kDirectPayloadBytes, 2 * received));
}

bool skipBytes(ByteSource& source, size_t n) {
    uint8_t scratch[16 * 1024];
    while (n > 0) {
        const size_t take = std::min(n, sizeof scratch);
        if (!source.readExact(scratch, take)) {
            return false;
        }
        n -= take;
    }
    return true;
}

CommandResponse readReply(ByteSource& source) {
    std::string line;
    return readReply(source, line, nullptr);
}

CommandResponse readReply(ByteSource& source, PayloadReader& payloadReader) {
    std::string line;
    return readReply(source, line, &payloadReader);
}

}  // namespace vel::frame
