#pragma once
// The process-wide registry from handle to session. Handles are issued 1, 2, 3,
// ... on successful registration only and are never reused. The registry mutex
// is held only for the map operation itself: no I/O, logging or session
// destruction happens under it.

#include "api/inst_instance.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vel {

using SessionPtr = std::shared_ptr<InstInstance>;

class SessionRegistry {
public:
    // Registers the session under the next handle and returns that handle.
    static uint64_t add(SessionPtr session);

    // The session of a handle, held for as long as the caller keeps the
    // reference; empty for 0 and unknown handles.
    static SessionPtr lookup(uint64_t handle);

    // Removes one session and hands its reference to the caller (empty if absent).
    static SessionPtr remove(uint64_t handle);

    // Removes every session, in the map's iteration order.
    static std::vector<SessionPtr> removeAll();
};

}  // namespace vel
