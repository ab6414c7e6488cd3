#pragma once
// The boundary every ci_ function that takes a handle goes through: it looks the
// session up once and holds a shared reference for the whole call (so
// ci_destroy on another thread never frees a session under a running call),
// runs the body, and turns any exception into an error line "<op> exception:
// <what>" or "<op> unknown exception" plus the export's failure value. Nothing
// escapes. The features below receive the session's context and their state.

#include "api/session_log.h"
#include "api/session_registry.h"
#include "core/session_context.h"

#include <string_view>

namespace vel {

// Runs body(InstInstance&) for a registered handle; failure for 0, unknown
// handles (not logged) and exceptions (logged under operation).
template <class Result, class Body>
Result withSession(uint64_t handle, Result failure, std::string_view operation, Body&& body) noexcept {
    SessionPtr session;
    try {
        session = SessionRegistry::lookup(handle);
    } catch (...) {
        return failure;  // the lookup allocates nothing; kept total regardless
    }
    if (!session) {
        return failure;
    }
    return guardOperation(session->context, failure, operation, [&] { return body(*session); });
}

// The same for exports without a result.
template <class Body>
void withSessionVoid(uint64_t handle, std::string_view operation, Body&& body) noexcept {
    withSession(handle, 0, operation, [&](InstInstance& session) {
        body(session);
        return 0;
    });
}

// For exports that forward one command or fetch one array: failure for
// unknown handles, and failure without a log line when building the request
// fails (the call kinds and fetches log their own exchange failures).
template <class Result, class Body>
Result withSessionQuietly(uint64_t handle, Result failure, Body&& body) noexcept {
    try {
        SessionPtr session = SessionRegistry::lookup(handle);
        if (!session) {
            return failure;
        }
        return body(*session);
    } catch (...) {
        return failure;  // the request could not be built: nothing was sent
    }
}

// For exports that return a caller array: *count is 0 first (count may be
// null), whatever happens next.
template <class Element, class Body>
Element* withArrayFetch(uint64_t handle, int* count, Body&& body) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    return withSessionQuietly(handle, static_cast<Element*>(nullptr), body);
}

// The same for a body that needs only the session's context.
template <class Body>
int withConnection(uint64_t handle, Body&& body) noexcept {
    return withSessionQuietly(handle, -1, [&](InstInstance& session) { return body(session.context); });
}

}  // namespace vel
