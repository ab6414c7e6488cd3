#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/protocol/result_code.h"

namespace veltrano::sim {

using Json = nlohmann::json;

using SharedPayload = std::shared_ptr<const std::vector<std::uint8_t>>;

// One answer to one request: a JSON object (sent as one line) or a binary
// payload (sent as a 4-byte big-endian length and the bytes). A binary payload
// is owned by the reply or shared with others (large chunks sent many times
// without copying).
struct Reply {
    std::variant<Json, std::vector<std::uint8_t>, SharedPayload> body;

    bool isJson() const { return body.index() == 0; }
    const Json& json() const { return std::get<Json>(body); }
    // The binary payload, owned or shared (empty for a JSON reply).
    std::span<const std::uint8_t> binary() const {
        if (const auto* owned = std::get_if<std::vector<std::uint8_t>>(&body)) return *owned;
        if (const auto* shared = std::get_if<SharedPayload>(&body); shared != nullptr && *shared) return **shared;
        return {};
    }
};

// {"result":0}
Reply okReply();
// {"result":code,"error":message}
Reply errorReply(ResultCode code, const std::string& message);
// {"result":0,"data":{"status":0,"value":value}}
Reply valueReply(Json value);
// {"result":0,"data":{"status":0, ...members}}
Reply membersReply(Json members);
Reply binaryReply(std::vector<std::uint8_t> payload);
Reply binaryReply(SharedPayload payload);

}  // namespace veltrano::sim
