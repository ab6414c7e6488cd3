#include "sim/model/sources/pulse_sampler.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

std::int32_t PulseSampler::width(SourceEngine& rng) const {
    std::normal_distribution<double> dist(config_.widthMeanPs, std::max(config_.widthSigmaPs, 0.0));
    const double w = dist(rng);
    return static_cast<std::int32_t>(std::clamp(std::llround(w), 1LL, 1'000'000'000LL));
}

float PulseSampler::energy(SourceEngine& rng) const {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(rng) < config_.photopeakFraction) {
        std::normal_distribution<double> peak(config_.photopeakKev, std::max(config_.photopeakSigmaKev, 0.0));
        return static_cast<float>(std::max(0.0, peak(rng)));
    }
    // Continuum with density proportional to 1 + (E/edge)^2 on [0, edge].
    while (true) {
        const double x = unit(rng);
        if (unit(rng) * 2.0 <= 1.0 + x * x) return static_cast<float>(x * config_.comptonEdgeKev);
    }
}

double clampedNormal(SourceEngine& rng, double sigma) {
    if (sigma <= 0) return 0.0;
    std::normal_distribution<double> dist(0.0, 1.0);
    return std::clamp(dist(rng), -kJitterClampSigmas, kJitterClampSigmas) * sigma;
}

SourceEngine makeSourceEngine(std::uint64_t seed, std::uint32_t sourceId) {
    std::seed_seq seq{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32), sourceId,
                      0x5eedu};
    return SourceEngine(seq);
}

}  // namespace veltrano::sim
