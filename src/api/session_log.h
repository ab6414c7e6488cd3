#pragma once
// Library messages are attributed to a session handle: a message for a handle
// that is no longer registered is dropped silently, as are messages when the
// log file cannot be opened. These never throw.

#include <spdlog/common.h>

#include <cstdint>
#include <string_view>

namespace vel {

void logForSession(uint64_t handle, spdlog::level::level_enum level, std::string_view text) noexcept;

inline void logError(uint64_t handle, std::string_view text) noexcept {
    logForSession(handle, spdlog::level::err, text);
}

}  // namespace vel
