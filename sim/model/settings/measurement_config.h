#pragma once

#include <cstdint>
#include <string>

namespace veltrano::sim {

// The raw acquisition's service-side limits (INI section [acquisition]).
struct AcquisitionConfig {
    std::string dataDir = ".";                        // folder of relative service-side paths
    std::uint64_t maxReplyBytes = 8ULL << 20;       // most bytes one "fetch_rawdata" reply carries
    std::uint64_t bufferLimitBytes = 1ULL << 30;    // unfetched bytes kept before events are dropped
};

// The stream mode for benchmarks (INI section [stream]).
struct StreamConfig {
    std::uint64_t chunkBytes = 4ULL << 20;  // bytes of each reply
    std::uint64_t totalBytes = 0;           // per acquisition; 0 = until its duration has passed
};

// Count-rate recordings (INI section [rates]).
struct RateConfig {
    std::int64_t sampleIntervalMs = 100;
    std::int64_t maxRecordingS = 3600;
};

}  // namespace veltrano::sim
