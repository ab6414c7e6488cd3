#include "core/session_context.h"

#include "core/nlogger.h"

namespace vel {

void SessionContext::log(spdlog::level::level_enum level, std::string_view text) const noexcept {
    try {
        if (!registered()) {
            return;
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

void SessionContext::logException(std::string_view operation, const std::exception& e) const noexcept {
    try {
        std::string line(operation);
        line += " exception: ";
        line += e.what();
        logError(line);
    } catch (...) {
        // Out of memory for the line itself: nothing can be logged.
    }
}

void SessionContext::logUnknownException(std::string_view operation) const noexcept {
    try {
        std::string line(operation);
        line += " unknown exception";
        logError(line);
    } catch (...) {
        // Out of memory for the line itself: nothing can be logged.
    }
}

}  // namespace vel
