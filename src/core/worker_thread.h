#pragma once
// An owned worker thread that is never destroyed joinable. join() waits for it
// from any other thread; when the last reference to a session is dropped on
// the session's own worker thread (the thread is then destroying its own
// thread object), it is detached instead, which is the only safe choice there.

#include <thread>
#include <utility>

namespace vel {

class WorkerThread {
public:
    WorkerThread() = default;
    template <class F>
    explicit WorkerThread(F&& body) : thread_(std::forward<F>(body)) {}

    WorkerThread(WorkerThread&&) noexcept = default;
    WorkerThread& operator=(WorkerThread&& other) noexcept {
        if (this != &other) {
            release();
            thread_ = std::move(other.thread_);
        }
        return *this;
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread() { release(); }

    bool running() const { return thread_.joinable(); }
    bool isCurrentThread() const { return thread_.get_id() == std::this_thread::get_id(); }

    // Waits for the thread to end; from the thread itself it detaches instead.
    void join() { release(); }

private:
    void release() noexcept {
        if (!thread_.joinable()) {
            return;
        }
        if (isCurrentThread()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }

    std::thread thread_;
};

}  // namespace vel
