#pragma once
// The boundary every ci_ function that takes a handle goes through: it looks the
// session up and holds a shared reference for the whole call (so ci_destroy on
// another thread never frees a session under a running call), runs the body,
// and turns any exception into an error line "<op> exception: <what>" or
// "<op> unknown exception" plus the export's failure value. Nothing escapes.

#include "api/session_log.h"
#include "api/session_registry.h"

#include <exception>
#include <string>
#include <string_view>

namespace vel {

// Logs an exception escaping an operation, in the library's wording.
inline void logOperationException(uint64_t handle, std::string_view operation,
                                  const std::exception& e) noexcept {
    try {
        std::string line(operation);
        line += " exception: ";
        line += e.what();
        logError(handle, line);
    } catch (...) {
    }
}

inline void logOperationUnknownException(uint64_t handle, std::string_view operation) noexcept {
    try {
        std::string line(operation);
        line += " unknown exception";
        logError(handle, line);
    } catch (...) {
    }
}

// Runs body(InstInstance&) for a registered handle; failure for 0, unknown
// handles (not logged) and exceptions (logged under operation).
template <class Result, class Body>
Result withSession(uint64_t handle, Result failure, std::string_view operation, Body&& body) noexcept {
    try {
        SessionPtr session = SessionRegistry::lookup(handle);
        if (!session) {
            return failure;
        }
        return body(*session);
    } catch (const std::exception& e) {
        logOperationException(handle, operation, e);
    } catch (...) {
        logOperationUnknownException(handle, operation);
    }
    return failure;
}

// The same for exports without a result.
template <class Body>
void withSessionVoid(uint64_t handle, std::string_view operation, Body&& body) noexcept {
    withSession(handle, 0, operation, [&](InstInstance& session) {
        body(session);
        return 0;
    });
}

}  // namespace vel
