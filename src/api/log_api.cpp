// The caller's log lines and the version query.

#include <veltranoapi/veltranoapi.h>

#include "api/session_log.h"
#include "core/string_utils.h"
#include "core/text_copy.h"

namespace {

constexpr const char* kSoftwareVersion = "V1.4.0";

void logCallerText(uint64_t handle, spdlog::level::level_enum level, const char* text) noexcept {
    if (handle == 0) {
        return;
    }
    try {
        vel::logForSession(handle, level, ksq::CStringUtils::safe_string(text));
    } catch (...) {
        // A caller's log line that cannot be written is dropped.
    }
}

}  // namespace

extern "C" {

CI_API void ci_info(uint64_t handle, const char* text) {
    logCallerText(handle, spdlog::level::info, text);
}

CI_API void ci_warn(uint64_t handle, const char* text) {
    logCallerText(handle, spdlog::level::warn, text);
}

CI_API void ci_error(uint64_t handle, const char* text) {
    logCallerText(handle, spdlog::level::err, text);
}

CI_API void ci_critical(uint64_t handle, const char* text) {
    logCallerText(handle, spdlog::level::critical, text);
}

CI_API int ci_get_sw_version(uint64_t /*handle*/, char* buffer, int capacity) {
    vel::copyText(buffer, capacity, kSoftwareVersion);
    return 0;
}

}  // extern "C"
