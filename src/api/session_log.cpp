#include "api/session_log.h"

#include "api/session_registry.h"
#include "core/nlogger.h"

namespace vel {

void logForSession(uint64_t handle, spdlog::level::level_enum level, std::string_view text) noexcept {
    try {
        std::string baseDir;
        {
            auto session = SessionRegistry::lookup(handle);
            if (!session) {
                return;
            }
            baseDir = session->baseDir;
        }
        auto logger = NLogger::getLogger(baseDir, NLogger::kMaxFileSize, NLogger::kMaxFiles);
        if (logger) {
            // Logged as a plain message: braces and percent signs stay as written.
            logger->log(level, spdlog::string_view_t(text.data(), text.size()));
        }
    } catch (...) {
        // A failing log write must never take a call down with it.
    }
}

}  // namespace vel
