#include "sim/model/status/status_model.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

StatusModel::StatusModel(const StatusConfig& config, std::uint64_t seed)
    : config_(config), rng_(seed ^ 0x9e3779b97f4a7c15ULL), temperatureC_(config.ambientC) {}

DeviceStatus StatusModel::sample(double tS) {
    std::normal_distribution<double> normal(0.0, 1.0);
    const double t = std::max(tS, lastTS_);
    const double dt = t - lastTS_;
    lastTS_ = t;

    // Exact update of the Ornstein-Uhlenbeck drift over dt.
    if (config_.driftTauS > 0 && dt > 0) {
        const double decay = std::exp(-dt / config_.driftTauS);
        driftC_ = driftC_ * decay + config_.driftSigmaC * std::sqrt(1.0 - decay * decay) * normal(rng_);
    }
    const double warm = config_.warmupTauS > 0 ? 1.0 - std::exp(-t / config_.warmupTauS) : 1.0;
    temperatureC_ = config_.ambientC + config_.warmupC * warm + driftC_;

    DeviceStatus s;
    s.temperatureC = static_cast<std::int32_t>(std::lround(temperatureC_));
    const double heat = temperatureC_ - config_.ambientC;
    for (std::size_t i = 0; i < s.currentsA.size(); ++i) {
        const double nominal = config_.nominalCurrentsA[i] * (1.0 + config_.currentTempCoeff * heat);
        s.currentsA[i] = std::max(0.0, nominal * (1.0 + config_.currentNoise * normal(rng_)));
    }
    const double fan = config_.fanMinRpm + std::max(0.0, temperatureC_ - config_.fanStartC) * config_.fanRpmPerC;
    s.fanRpm = static_cast<std::int32_t>(std::lround(std::clamp(fan, config_.fanMinRpm, config_.fanMaxRpm)));
    return s;
}

}  // namespace veltrano::sim
