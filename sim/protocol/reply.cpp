#include "sim/protocol/reply.h"

namespace veltrano::sim {

Reply okReply() { return Reply{Json{{"result", 0}}}; }

Reply errorReply(ResultCode code, const std::string& message) {
    return Reply{Json{{"result", toInt(code)}, {"error", message}}};
}

Reply valueReply(Json value) { return membersReply(Json{{"value", std::move(value)}}); }

Reply membersReply(Json members) {
    members["status"] = 0;
    return Reply{Json{{"result", 0}, {"data", std::move(members)}}};
}

Reply binaryReply(std::vector<std::uint8_t> payload) { return Reply{std::move(payload)}; }

Reply binaryReply(SharedPayload payload) { return Reply{std::move(payload)}; }

}  // namespace veltrano::sim
