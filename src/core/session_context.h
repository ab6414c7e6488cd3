#pragma once
// What the measurement features use of their session: its handle (the log
// lines are the session's), its base directory, its connection and whether it
// is still registered. The session object owns the context beside the
// features' own state; features receive the context and their state, never
// the session object, and never look the handle up again.
//
// Log lines go to the process log only while the session is registered: after
// ci_destroy a worker thread that still runs logs nothing, exactly as a
// message for an unknown handle is dropped.

#include <spdlog/common.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

class TcpClient;

namespace vel {

class SessionContext {
public:
    SessionContext() = default;
    SessionContext(const SessionContext&) = delete;
    SessionContext& operator=(const SessionContext&) = delete;

    // Set before the session is registered; never changed afterwards.
    uint64_t handle = 0;
    // Absolute UTF-8 directory: the log folder and relative output paths hang off it.
    std::string baseDir;
    // The session's connection, owned by the session; null only in a session
    // that never connected.
    TcpClient* connection = nullptr;

    // The registry's lookup, installed at registration: the session registered
    // under a handle, as a reference to its context that keeps it alive.
    using Lookup = std::shared_ptr<SessionContext> (*)(uint64_t handle);
    Lookup lookup = nullptr;
    // This session looked up again by its handle: empty once it is no longer
    // registered (after ci_destroy or ci_cleanup).
    std::shared_ptr<SessionContext> lookUpAgain() const { return lookup ? lookup(handle) : nullptr; }

    bool registered() const noexcept { return registered_.load(); }
    void setRegistered(bool registered) noexcept { registered_.store(registered); }

    // A shared reference that keeps the whole session alive, for worker
    // threads; empty when the session is not shared-owned.
    std::shared_ptr<SessionContext> share() const { return self_.lock(); }
    void setOwner(const std::shared_ptr<SessionContext>& self) { self_ = self; }

    void log(spdlog::level::level_enum level, std::string_view text) const noexcept;
    void logError(std::string_view text) const noexcept { log(spdlog::level::err, text); }
    // "<operation> exception: <what>" and "<operation> unknown exception".
    void logException(std::string_view operation, const std::exception& e) const noexcept;
    void logUnknownException(std::string_view operation) const noexcept;

private:
    std::atomic<bool> registered_{false};
    std::weak_ptr<SessionContext> self_;
};

// A shared reference to one part of the session (its state, its context)
// that keeps the whole session alive, for a worker thread. Throws for a
// session that is not shared-owned.
template <class Part>
std::shared_ptr<Part> shareSessionPart(const SessionContext& context, Part& part) {
    std::shared_ptr<SessionContext> owner = context.share();
    if (!owner) {
        throw std::logic_error("Session is not shared-owned");
    }
    return std::shared_ptr<Part>(std::move(owner), &part);
}

// Runs body() and turns whatever it throws into failure, logged under
// operation for the session: the one catch-all of an operation or a thread.
template <class Result, class Body>
Result guardOperation(const SessionContext& context, Result failure, std::string_view operation, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        context.logException(operation, e);
    } catch (...) {
        context.logUnknownException(operation);
    }
    return failure;
}

}  // namespace vel
