#include "api/session_log.h"

#include "api/session_registry.h"

namespace vel {

void logForSession(uint64_t handle, spdlog::level::level_enum level, std::string_view text) noexcept {
    try {
        if (SessionPtr session = SessionRegistry::lookup(handle)) {
            session->context.log(level, text);
        }
    } catch (...) {
        // A failing log write must never take a call down with it.
    }
}

}  // namespace vel
