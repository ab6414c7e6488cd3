#pragma once
// An owned worker thread that can be told to end early: its body waits only
// through waitUntil(), which returns false as soon as cancelAndJoin() (or a new
// start, or the destructor) asks it to end. Starting again ends the previous
// run first; nothing is ever left detached, except when the owner is
// destroyed on the thread itself (see WorkerThread).

#include "core/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace vel {

class CancellableThread {
public:
    using Clock = std::chrono::steady_clock;

    CancellableThread() = default;
    CancellableThread(const CancellableThread&) = delete;
    CancellableThread& operator=(const CancellableThread&) = delete;
    ~CancellableThread() { cancelAndJoin(); }

    // Ends a running body, then runs body(*this) on a new thread.
    template <class Body>
    void start(Body&& body) {
        std::lock_guard<std::mutex> control(controlMutex_);
        endRunning();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = false;
        }
        thread_ = WorkerThread([this, run = std::forward<Body>(body)]() mutable { run(*this); });
    }

    // Waits until deadline; false when the thread was asked to end first.
    bool waitUntil(Clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_until(lock, deadline, [this] { return cancelled_; });
    }

    // Wakes the body's wait and waits for the body to end.
    void cancelAndJoin() {
        std::lock_guard<std::mutex> control(controlMutex_);
        endRunning();
    }

private:
    void endRunning() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    std::mutex controlMutex_;  // serialises start and cancelAndJoin
    std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
    WorkerThread thread_;
};

}  // namespace vel
