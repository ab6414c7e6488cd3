// Many threads use the library at once, for a bounded time: several threads
// per session call settings, status, count rates, raw fetches, acquisition and
// analysis starts and stops in a random mix while acquisitions and analyses
// run; other threads open and close sessions, and close a session while
// threads still call with its handle. Every call must return one of its
// documented values (a status is 0, a service code or -1; a closed handle
// always gives -1 or null), nothing may crash or hang, and the sessions must
// still work afterwards.
// VELTRANO_STRESS_SECONDS sets the length of the mixed run (default 8 s, 4 s
// in sanitizer and 32-bit builds).

#include "reliability/reliability_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSessions = 3;
constexpr int kThreadsPerSession = 3;
constexpr int kChannels = 16;
// The highest result code the service documents; the library adds -1.
constexpr int kHighestServiceCode = 12;

std::chrono::seconds stressLength() {
    return std::chrono::seconds(veltest::envCount("VELTRANO_STRESS_SECONDS", veltest::kReducedBuild ? 4 : 8));
}

// Collects the calls whose result is not one the call documents; threads
// report here instead of asserting, so one fault does not flood the output.
class Violations {
public:
    void add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (seen_.size() < 20) {
            seen_.push_back(what);
        }
        ++count_;
    }
    void expectNone() const {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_EQ(count_, 0u);
        for (const auto& what : seen_) {
            ADD_FAILURE() << what;
        }
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> seen_;
    std::size_t count_ = 0;
};

// One random call on a handle, checked against what it documents. With
// handleClosed the handle was closed before the call began, so the call must
// fail with its failure value.
class CallMix {
public:
    CallMix(Violations& violations, std::atomic<uint64_t>& calls, std::string folder)
        : violations_(violations), calls_(calls), folder_(std::move(folder)) {}

    void callOne(uint64_t handle, std::mt19937& random, bool handleClosed) {
        const int channel = std::uniform_int_distribution<int>(1, kChannels)(random);
        const int which = std::uniform_int_distribution<int>(0, 15)(random);
        ++calls_;
        switch (which) {
        case 0:
            // Thresholds of 0.1 V and up: at 0 V the simulated noise alone is a
            // MHz per channel, more than a sanitizer build generates in real time.
            status("ci_set_dac", ci_set_dac(handle, channel, 0.1 + 0.05 * (channel % 5)), handleClosed);
            break;
        case 1: {
            double volts = 99;
            const int result = ci_get_dac(handle, channel, &volts);
            status("ci_get_dac", result, handleClosed);
            if (result == 0 && (volts < -1.5 || volts > 1.5)) {
                violations_.add("ci_get_dac gave " + std::to_string(volts) + " V");
            }
            break;
        }
        case 2: {
            DEVICE_STATUS deviceStatus{};
            status("ci_get_device_status", ci_get_device_status(handle, &deviceStatus), handleClosed);
            break;
        }
        case 3: {
            const int rate = ci_get_single_cps(handle, channel);
            if (rate < -1 || (handleClosed && rate != -1)) {
                violations_.add("ci_get_single_cps gave " + std::to_string(rate));
            }
            break;
        }
        case 4:
            status("ci_acq_rawdata", ci_acq_rawdata(handle, 0, 1, "", "", 0, 0), handleClosed);
            break;
        case 5:
        case 6: {
            int size = -1;
            char* block = ci_fetch_rawdata(handle, &size, 20);
            if ((block == nullptr) != (size == 0) || size < 0 || (handleClosed && block != nullptr)) {
                violations_.add("ci_fetch_rawdata gave a block with size " + std::to_string(size));
            }
            ci_free_char_data(block);
            break;
        }
        case 7:
            status("ci_stop_acq", ci_stop_acq(handle), handleClosed);
            break;
        case 8:
            status("ci_acq_rawdata_local",
                   ci_acq_rawdata_local(handle, 0, 1, folder_.c_str(), "stress.bin", 1, 0), handleClosed);
            break;
        case 9:
            status("ci_period_analysis",
                   ci_period_analysis(handle, 1, 2, 5, 0, 0, 10000.0, 50, 0, nullptr, nullptr), handleClosed);
            break;
        case 10:
        case 11: {
            int count = -1;
            int64_t* points = ci_fetch_period_rawdata(handle, &count, 20);
            pointArray("ci_fetch_period_rawdata", points, count, handleClosed);
            break;
        }
        case 12: {
            int count = -1;
            int64_t* points = ci_fetch_period_processdata(handle, &count);
            pointArray("ci_fetch_period_processdata", points, count, handleClosed);
            break;
        }
        case 13:
            status("ci_stop_period_analysis", ci_stop_period_analysis(handle), handleClosed);
            break;
        case 14:
            status("ci_output_single_cps", ci_output_single_cps(handle, 1, folder_.c_str(), "stress_cps"),
                   handleClosed);
            break;
        default: {
            bool processing = false;
            status("ci_is_rawdata_processing", ci_is_rawdata_processing(handle, &processing), handleClosed);
            break;
        }
        }
    }

private:
    void status(const char* call, int result, bool handleClosed) {
        const bool documented = result == -1 || (result >= 0 && result <= kHighestServiceCode);
        if (!documented || (handleClosed && result != -1)) {
            violations_.add(std::string(call) + " returned " + std::to_string(result) +
                            (handleClosed ? " on a closed handle" : ""));
        }
    }

    void pointArray(const char* call, int64_t* points, int count, bool handleClosed) {
        if ((points == nullptr) != (count == 0) || count < 0 || (handleClosed && points != nullptr)) {
            violations_.add(std::string(call) + " gave an array with count " + std::to_string(count));
        }
        ci_free_int64_data(points);
    }

    Violations& violations_;
    std::atomic<uint64_t>& calls_;
    const std::string folder_;
};

class ConcurrentSessions : public ::testing::Test {
protected:
    veltest::SimService sim{veltest::kQuietClockConfig};
    Violations violations;
    std::atomic<uint64_t> calls{0};
    CallMix mix{violations, calls, (sim.dir() / "output").string()};

    // A session opened while other threads keep the library busy: opening
    // must not fail while the simulator runs.
    uint64_t openWhileBusy() {
        const uint64_t handle = sim.open();
        if (handle == 0) {
            violations.add("ci_create failed while the simulator runs");
        }
        return handle;
    }

    // The sessions must still answer after the storm: a setting reads back
    // as written and a new acquisition delivers data.
    void expectWorking(uint64_t handle) {
        EXPECT_EQ(ci_stop_acq(handle), 0);
        EXPECT_EQ(ci_set_dac(handle, 3, 0.25), 0);
        double volts = 0;
        EXPECT_EQ(ci_get_dac(handle, 3, &volts), 0);
        EXPECT_DOUBLE_EQ(volts, 0.25);
    }

    void expectDelivers(uint64_t handle) {
        ASSERT_EQ(ci_acq_rawdata(handle, 0, 2, "", "", 0, 0), 0);
        int size = 0;
        char* block = ci_fetch_rawdata(handle, &size, 30000);
        EXPECT_NE(block, nullptr);
        EXPECT_GT(size, 0);
        ci_free_char_data(block);
        EXPECT_EQ(ci_stop_acq(handle), 0);
    }
};

TEST_F(ConcurrentSessions, RandomCallsFromManyThreadsAlwaysReturnDocumentedValues) {
    std::vector<uint64_t> handles;
    for (int i = 0; i < kSessions; ++i) {
        handles.push_back(sim.open());
        ASSERT_NE(handles.back(), 0u);
    }
    const Clock::time_point end = Clock::now() + stressLength();
    std::atomic<uint64_t> sessionsOpened{0};
    std::atomic<uint64_t> sessionsClosedInUse{0};
    std::vector<std::thread> threads;

    for (int s = 0; s < kSessions; ++s) {
        for (int t = 0; t < kThreadsPerSession; ++t) {
            threads.emplace_back([&, handle = handles[s], seed = s * 100 + t] {
                std::mt19937 random(static_cast<unsigned>(seed));
                while (Clock::now() < end) {
                    mix.callOne(handle, random, false);
                }
            });
        }
    }

    // Short-lived sessions: opened, used a little, closed, then the handle
    // must be unknown to every call.
    threads.emplace_back([&] {
        std::mt19937 random(7);
        while (Clock::now() < end) {
            const uint64_t handle = openWhileBusy();
            if (handle == 0) {
                continue;
            }
            ++sessionsOpened;
            for (int i = 0; i < 3; ++i) {
                mix.callOne(handle, random, false);
            }
            ci_destroy(handle);
            mix.callOne(handle, random, true);
        }
    });

    // A session closed while two threads are in the middle of calls on it:
    // their calls in flight may finish either way, the calls they begin
    // after the close must fail cleanly.
    threads.emplace_back([&] {
        std::mt19937 random(11);
        while (Clock::now() < end) {
            const uint64_t handle = openWhileBusy();
            if (handle == 0) {
                continue;
            }
            std::atomic<bool> closed{false};
            std::vector<std::thread> users;
            for (int u = 0; u < 2; ++u) {
                users.emplace_back([&, u] {
                    std::mt19937 userRandom(static_cast<unsigned>(handle * 10 + static_cast<uint64_t>(u)));
                    for (int i = 0; i < 40; ++i) {
                        const bool closedBefore = closed.load();
                        mix.callOne(handle, userRandom, closedBefore);
                    }
                });
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 200)(random)));
            ci_destroy(handle);
            closed = true;
            ++sessionsClosedInUse;
            for (auto& user : users) {
                user.join();
            }
        }
    });

    for (auto& thread : threads) {
        thread.join();
    }
    violations.expectNone();
    std::printf("stress: %llu calls in %lld s on %d sessions (%d threads each); %llu short-lived sessions, "
                "%llu closed while in use\n",
                static_cast<unsigned long long>(calls.load()), static_cast<long long>(stressLength().count()),
                kSessions, kThreadsPerSession, static_cast<unsigned long long>(sessionsOpened.load()),
                static_cast<unsigned long long>(sessionsClosedInUse.load()));
    RecordProperty("calls", std::to_string(calls.load()));

    for (uint64_t handle : handles) {
        expectWorking(handle);
    }
    expectDelivers(handles.front());
    for (uint64_t handle : handles) {
        ci_destroy(handle);
    }
}

TEST_F(ConcurrentSessions, CleanupWhileEverySessionIsInUseEndsThemAllCleanly) {
    std::vector<uint64_t> handles;
    for (int i = 0; i < kSessions; ++i) {
        handles.push_back(sim.open());
        ASSERT_NE(handles.back(), 0u);
    }
    // Each session has an acquisition and the first an analysis running.
    ASSERT_EQ(ci_acq_rawdata(handles[0], 0, 5, "", "", 0, 0), 0);
    ASSERT_EQ(ci_period_analysis(handles[1], 5, 2, 5, 0, 0, 10000.0, 50, 0, nullptr, nullptr), 0);

    std::atomic<bool> cleaned{false};
    std::vector<std::thread> threads;
    for (int s = 0; s < kSessions; ++s) {
        threads.emplace_back([&, handle = handles[s], seed = s] {
            std::mt19937 random(static_cast<unsigned>(seed));
            // Calls keep going for a while after the cleanup; those that
            // begin after it must all fail.
            for (int afterCleanup = 0; afterCleanup < 30;) {
                const bool closedBefore = cleaned.load();
                mix.callOne(handle, random, closedBefore);
                afterCleanup += closedBefore ? 1 : 0;
            }
        });
    }
    std::this_thread::sleep_for(700ms);  // past the acquisition thread's first poll
    ci_cleanup();
    cleaned = true;
    for (auto& thread : threads) {
        thread.join();
    }
    violations.expectNone();

    // Handles are never reused, and new sessions work as before.
    const uint64_t fresh = sim.open();
    ASSERT_NE(fresh, 0u);
    for (uint64_t handle : handles) {
        EXPECT_GT(fresh, handle);
    }
    expectWorking(fresh);
    expectDelivers(fresh);
    ci_destroy(fresh);
}

}  // namespace
