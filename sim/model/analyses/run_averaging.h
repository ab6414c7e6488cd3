#pragma once

#include <cstdint>

namespace veltrano::sim {

// The factor that turns the counts of an averaged run into the mean count of
// one of its avg_times parts: the duration is split into avg_times runs, and
// the counts of the time covered so far stand for the whole duration (after the
// run: counts / avg_times).
inline double averagingScale(std::int64_t duration_ps, std::int64_t avg_times, std::int64_t covered_ps) {
    const double run_length = static_cast<double>(duration_ps) / static_cast<double>(avg_times);
    return covered_ps > 0 ? run_length / static_cast<double>(covered_ps) : 1.0;
}

}  // namespace veltrano::sim
