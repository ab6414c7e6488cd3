// Worker threads: joined from outside, detached when they end their own owner.

#include "core/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

namespace {

TEST(WorkerThread, JoinWaitsForTheBodyAndLeavesNothingRunning) {
    std::atomic<bool> done{false};
    vel::WorkerThread worker([&] { done = true; });
    worker.join();
    EXPECT_TRUE(done.load());
    EXPECT_FALSE(worker.running());
    worker.join();  // harmless when nothing runs
}

TEST(WorkerThread, OwnerDestroyedOnItsOwnThreadDetachesInsteadOfAborting) {
    // The thread holds the last reference to the object that owns it, as a
    // worker holding its session does after ci_destroy.
    struct Owner {
        vel::WorkerThread worker;
    };
    auto owner = std::make_shared<Owner>();
    std::promise<void> finished;
    auto ended = finished.get_future();
    std::promise<void> go;
    auto started = go.get_future().share();
    owner->worker = vel::WorkerThread([keep = owner, started, &finished]() mutable {
        started.wait();
        keep.reset();  // destroys Owner, and with it this thread's own object
        finished.set_value();
    });
    owner.reset();
    go.set_value();
    ended.wait();
}

}  // namespace
