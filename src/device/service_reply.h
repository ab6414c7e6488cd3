#pragma once
// The JSON reply to a request that is only a command, for the device functions
// that read the reply's members themselves.

#include <nlohmann/json.hpp>

#include <optional>

namespace vel {
class SessionContext;
}

namespace vel::device {

// Exchanges {"cmd":command} on the session. Nothing when the session has no
// connection (nothing is sent then). Throws every error of the exchange, and
// std::bad_variant_access for a binary reply.
std::optional<nlohmann::json> askService(const SessionContext& session, const char* command);

}  // namespace vel::device
