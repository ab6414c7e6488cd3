#include "api/session_registry.h"

#include "core/nlogger.h"

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

// The sessions still registered when the process exits are released then,
// outside the lock (ending their worker threads and stop timers), while the
// registry itself still stands: a thread that ends meanwhile and looks its
// handle up finds nothing. The process logger is set up first, so it is
// destroyed after the registry and those threads can still log.
struct ReleasingRegistry : Registry {
    ReleasingRegistry() { NLogger::outliveSessions(); }
    ~ReleasingRegistry() {
        std::unordered_map<uint64_t, SessionPtr> remaining;
        {
            std::lock_guard<std::shared_mutex> lock(mutex);
            remaining.swap(sessions);
        }
        for (auto& entry : remaining) {
            entry.second->context.setRegistered(false);
        }
    }
};

Registry& registry() {
    static ReleasingRegistry instance;
    return instance;
}

std::shared_ptr<SessionContext> lookupContext(uint64_t handle) {
    SessionPtr session = SessionRegistry::lookup(handle);
    return session ? std::shared_ptr<SessionContext>(session, &session->context) : nullptr;
}

}  // namespace

uint64_t SessionRegistry::add(SessionPtr session) {
    auto& r = registry();
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    const uint64_t handle = r.nextHandle.fetch_add(1);
    session->context.handle = handle;
    session->context.lookup = &lookupContext;
    session->context.setRegistered(true);
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
        session->context.setRegistered(false);
    }
    return session;
}

std::vector<SessionPtr> SessionRegistry::removeAll() {
    auto& r = registry();
    std::vector<SessionPtr> removed;
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    removed.reserve(r.sessions.size());
    for (auto& entry : r.sessions) {
        entry.second->context.setRegistered(false);
        removed.push_back(std::move(entry.second));
    }
    r.sessions.clear();
    return removed;
}

}  // namespace vel
