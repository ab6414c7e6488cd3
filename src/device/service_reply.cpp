#include "device/service_reply.h"

#include "core/session_context.h"
#include "net/call_kinds.h"

#include <variant>

namespace vel::device {

std::optional<nlohmann::json> askService(const SessionContext& session, const char* command) {
    if (!session.connection) {
        return std::nullopt;
    }
    CommandResponse response = exchange(session, {{"cmd", command}});
    return std::get<nlohmann::json>(std::move(response.value));
}

}  // namespace vel::device
