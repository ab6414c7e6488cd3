#include "sim/model/status/status_model.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

StatusModel::StatusModel(const StatusConfig& config, std::uint64_t seed)
    : config_(config), rng_(seed ^ 0x9e3779b97f4a7c15ULL), temperature_c_(config.ambient_c) {}

DeviceStatus StatusModel::sample(double t_s) {
    std::normal_distribution<double> normal(0.0, 1.0);
    const double t = std::max(t_s, last_t_s_);
    const double dt = t - last_t_s_;
    last_t_s_ = t;

    // Exact update of the Ornstein-Uhlenbeck drift over dt.
    if (config_.drift_tau_s > 0 && dt > 0) {
        const double decay = std::exp(-dt / config_.drift_tau_s);
        drift_c_ = drift_c_ * decay + config_.drift_sigma_c * std::sqrt(1.0 - decay * decay) * normal(rng_);
    }
    const double warm = config_.warmup_tau_s > 0 ? 1.0 - std::exp(-t / config_.warmup_tau_s) : 1.0;
    temperature_c_ = config_.ambient_c + config_.warmup_c * warm + drift_c_;

    DeviceStatus s;
    s.temperature_c = static_cast<std::int32_t>(std::lround(temperature_c_));
    const double heat = temperature_c_ - config_.ambient_c;
    for (std::size_t i = 0; i < s.currents_a.size(); ++i) {
        const double nominal = config_.nominal_currents_a[i] * (1.0 + config_.current_temp_coeff * heat);
        s.currents_a[i] = std::max(0.0, nominal * (1.0 + config_.current_noise * normal(rng_)));
    }
    const double fan = config_.fan_min_rpm + std::max(0.0, temperature_c_ - config_.fan_start_c) * config_.fan_rpm_per_c;
    s.fan_rpm = static_cast<std::int32_t>(std::lround(std::clamp(fan, config_.fan_min_rpm, config_.fan_max_rpm)));
    return s;
}

}  // namespace veltrano::sim
