#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "sim/protocol/reply.h"
#include "sim/protocol/result_code.h"

namespace veltrano::sim {

// A request the simulator refuses; its code and text go into the error reply.
class ProtocolError : public std::runtime_error {
public:
    ProtocolError(ResultCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ResultCode code() const { return code_; }

private:
    ResultCode code_;
};

// Typed access to the members of one request object. Every accessor throws
// ProtocolError(BadParameter) when the key is missing or has the wrong JSON type.
class Request {
public:
    // `object` must be a JSON object with a string "cmd"; it must outlive the Request.
    explicit Request(const Json& object) : object_(object) {}

    std::string command() const { return object_.at("cmd").get<std::string>(); }

    // A JSON integer; values beyond 64 bits saturate (and fail any range check).
    std::int64_t integer(const std::string& key) const;
    // "channel": a JSON integer; one outside the int range is ChannelOutOfRange.
    int channel() const;
    // Any JSON number.
    double number(const std::string& key) const;
    const std::string& text(const std::string& key) const;
    // A JSON boolean.
    bool boolean(const std::string& key) const;
    // A JSON object or array, to be read member by member.
    const Json& object(const std::string& key) const;
    const Json& array(const std::string& key) const;

    // Optional keys: the fallback when the key is missing (a present key of the
    // wrong type is refused like a required one).
    bool has(const std::string& key) const { return object_.contains(key); }
    std::int64_t integer(const std::string& key, std::int64_t fallback) const {
        return has(key) ? integer(key) : fallback;
    }
    std::string text(const std::string& key, const std::string& fallback) const {
        return has(key) ? text(key) : fallback;
    }
    bool boolean(const std::string& key, bool fallback) const { return has(key) ? boolean(key) : fallback; }

private:
    enum class JsonKind { Integer, Number, String, Boolean, Object, Array };
    const Json& member(const std::string& key, JsonKind kind) const;

    const Json& object_;
};

}  // namespace veltrano::sim
