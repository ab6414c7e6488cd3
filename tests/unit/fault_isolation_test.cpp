// A service that stops answering one session must not hold up any other.
// Exchanges block without a time-out, so the silent session's callers wait
// until that service closes the connection; every other session, on another
// service or on another connection of the same one, keeps being answered.

#include "support/service_session.h"

#include <chrono>
#include <future>
#include <memory>
#include <vector>

namespace {

using veltest::FakeService;

constexpr int kCallsMeanwhile = 200;

struct Isolation : ::testing::Test {
    // A service that outlives the sessions on it: TearDown closes them first,
    // so its connections end from the library's side (under wine, a service
    // shutting its end down does not wake its own blocked receive).
    FakeService& newService() { return *services.emplace_back(std::make_unique<FakeService>()); }

    // A session on service; fails the test when it cannot connect.
    uint64_t openSession(const FakeService& service) {
        const uint64_t handle = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
        EXPECT_NE(handle, 0u);
        handles.push_back(handle);
        return handle;
    }
    void TearDown() override {
        for (uint64_t handle : handles) {
            ci_destroy(handle);
        }
    }

    // Runs ci_get_dac on another thread; the future holds its result.
    static std::future<int> queryInBackground(uint64_t handle) {
        return std::async(std::launch::async, [handle] {
            double value = 0;
            return ci_get_dac(handle, 1, &value);
        });
    }

    static bool stillWaiting(const std::future<int>& call) {
        return call.wait_for(std::chrono::seconds(0)) == std::future_status::timeout;
    }

    static int answeredOutOf(uint64_t handle, int calls) {
        int answered = 0;
        for (int i = 0; i < calls; ++i) {
            answered += ci_set_dac(handle, 1, 0.25) == 0 ? 1 : 0;
        }
        return answered;
    }

    std::vector<std::unique_ptr<FakeService>> services;
    veltest::TempDir dir;
    veltest::LogCapture log;
    std::vector<uint64_t> handles;
};

using FaultIsolation = Isolation;

TEST_F(FaultIsolation, SilentServiceHoldsOnlyItsOwnSession) {
    FakeService& silent = newService();
    FakeService& healthy = newService();
    const uint64_t stuck = openSession(silent);
    const uint64_t working = openSession(healthy);
    log.clear();
    silent.silence();
    auto first = queryInBackground(stuck);
    silent.waitForRequests(1);
    // A second caller on the stuck session waits for the connection.
    auto second = queryInBackground(stuck);

    EXPECT_EQ(answeredOutOf(working, kCallsMeanwhile), kCallsMeanwhile);
    EXPECT_EQ(healthy.requests().size(), static_cast<size_t>(kCallsMeanwhile));
    EXPECT_TRUE(stillWaiting(first));
    EXPECT_TRUE(stillWaiting(second));
    EXPECT_TRUE(log.errors().empty());

    silent.releaseSilences();
    EXPECT_EQ(first.get(), -1);
    EXPECT_EQ(second.get(), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    for (const auto& line : errors) {
        EXPECT_EQ(line.rfind("Generic json call with f64 value exception: ", 0), 0u) << line;
    }
    EXPECT_EQ(silent.requests().size(), 1u);
    EXPECT_EQ(answeredOutOf(working, 1), 1);
}

TEST_F(FaultIsolation, SilenceOnOneConnectionLeavesTheOtherConnectionsOfTheService) {
    FakeService& service = newService();
    const uint64_t stuck = openSession(service);  // the service's connection 0
    const uint64_t working = openSession(service);
    log.clear();
    service.silenceOn(0);
    auto call = queryInBackground(stuck);
    service.waitForRequests(1);

    EXPECT_EQ(answeredOutOf(working, kCallsMeanwhile), kCallsMeanwhile);
    const uint64_t late = openSession(service);
    EXPECT_EQ(answeredOutOf(late, 1), 1);
    EXPECT_TRUE(stillWaiting(call));

    service.releaseSilences();
    EXPECT_EQ(call.get(), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Generic json call with f64 value exception: Failed to read response");
    EXPECT_EQ(answeredOutOf(working, 1), 1);
    EXPECT_EQ(service.connectionCount(), 3u);
}

}  // namespace
