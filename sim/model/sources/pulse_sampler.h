#pragma once

#include <cstdint>
#include <random>

#include "sim/model/sources/signal_config.h"

namespace veltrano::sim {

using SourceEngine = std::mt19937_64;

// Draws per-event pulse width and energy.
class PulseSampler {
public:
    explicit PulseSampler(const PulseConfig& config) : config_(config) {}

    std::int32_t width(SourceEngine& rng) const;
    float energy(SourceEngine& rng) const;

private:
    PulseConfig config_;
};

// Standard normal sample clamped to +-8 sigma, scaled by sigma. The clamp bounds
// how early a jittered tag can come, which event ordering relies on.
double clampedNormal(SourceEngine& rng, double sigma);
inline constexpr double kJitterClampSigmas = 8.0;

// Engine of one source: independent streams per source, so adding a source
// does not change what the others produce.
SourceEngine makeSourceEngine(std::uint64_t seed, std::uint32_t sourceId);

}  // namespace veltrano::sim
