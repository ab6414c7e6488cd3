#include "api/session_registry.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace vel {
namespace {

// Lookups (one per export call) share the lock, so calls on different
// sessions never wait for each other; add and remove take it exclusively.
struct Registry {
    std::shared_mutex mutex;
    std::unordered_map<uint64_t, SessionPtr> sessions;
    std::atomic<uint64_t> nextHandle{1};
};

// The registry itself is never destroyed: a detached stop timer may wake and
// look its session up while the process exits. The sessions still registered
// then are released at exit as before (ending their worker threads), and later
// lookups simply find nothing.
Registry& registry() {
    static Registry* const instance = new Registry();
    static const struct ReleaseAtExit {
        ~ReleaseAtExit() {
            std::unordered_map<uint64_t, SessionPtr> remaining;
            {
                std::lock_guard<std::shared_mutex> lock(instance->mutex);
                remaining.swap(instance->sessions);
            }
        }
    } releaseAtExit;
    return *instance;
}

}  // namespace

uint64_t SessionRegistry::add(SessionPtr session) {
    auto& r = registry();
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    const uint64_t handle = r.nextHandle.fetch_add(1);
    r.sessions.emplace(handle, std::move(session));
    return handle;
}

SessionPtr SessionRegistry::lookup(uint64_t handle) {
    if (handle == 0) {
        return nullptr;
    }
    auto& r = registry();
    std::shared_lock<std::shared_mutex> lock(r.mutex);
    auto found = r.sessions.find(handle);
    return found == r.sessions.end() ? nullptr : found->second;
}

SessionPtr SessionRegistry::remove(uint64_t handle) {
    if (handle == 0) {
        return nullptr;
    }
    auto& r = registry();
    SessionPtr session;
    {
        std::lock_guard<std::shared_mutex> lock(r.mutex);
        auto found = r.sessions.find(handle);
        if (found == r.sessions.end()) {
            return nullptr;
        }
        session = std::move(found->second);
        r.sessions.erase(found);
    }
    return session;
}

std::vector<SessionPtr> SessionRegistry::removeAll() {
    auto& r = registry();
    std::vector<SessionPtr> removed;
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    removed.reserve(r.sessions.size());
    for (auto& entry : r.sessions) {
        removed.push_back(std::move(entry.second));
    }
    r.sessions.clear();
    return removed;
}

}  // namespace vel
