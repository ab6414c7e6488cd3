#pragma once

#include <cstdint>

namespace veltrano::sim {

// The factor that turns the counts of an averaged run into the mean count of
// one of its avg_times parts: the duration is split into avg_times runs, and
// the counts of the time covered so far stand for the whole duration (after the
// run: counts / avg_times).
inline double averagingScale(std::int64_t durationPs, std::int64_t avgTimes, std::int64_t coveredPs) {
    const double runLength = static_cast<double>(durationPs) / static_cast<double>(avgTimes);
    return coveredPs > 0 ? runLength / static_cast<double>(coveredPs) : 1.0;
}

}  // namespace veltrano::sim
