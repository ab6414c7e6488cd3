#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/protocol/result_code.h"

namespace veltrano::sim {

using Json = nlohmann::json;

// One answer to one request: a JSON object (sent as one line) or a binary
// payload (sent as a 4-byte big-endian length and the bytes).
struct Reply {
    std::variant<Json, std::vector<std::uint8_t>> body;

    bool isJson() const { return body.index() == 0; }
    const Json& json() const { return std::get<Json>(body); }
    const std::vector<std::uint8_t>& binary() const { return std::get<std::vector<std::uint8_t>>(body); }
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

}  // namespace veltrano::sim
