#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace veltrano::sim {

// Simulated wall-clock time in picoseconds since the instrument was powered on.
// Event generation and the status values advance with it.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual std::int64_t nowPs() const = 0;
};

// Follows the host's monotonic clock.
class SteadySimClock final : public SimClock {
public:
    SteadySimClock() : start_(std::chrono::steady_clock::now()) {}
    std::int64_t nowPs() const override {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() * 1000;
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// Moved by hand; used where a run must not depend on the host's timing.
class ManualSimClock final : public SimClock {
public:
    std::int64_t nowPs() const override { return nowPs_.load(); }
    void advancePs(std::int64_t ps) { nowPs_ += ps; }

private:
    std::atomic<std::int64_t> nowPs_{0};
};

}  // namespace veltrano::sim
