#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace veltrano::sim {

// Health readings of the board.
struct DeviceStatus {
    std::int32_t temperature_c = 0;
    std::array<double, 8> currents_a{};
    std::int32_t fan_rpm = 0;
};

// Configuration of the health readings. The board warms up from ambient towards
// ambient + warmup_c with time constant warmup_tau_s and drifts around that with
// an Ornstein-Uhlenbeck process (standard deviation drift_sigma_c, correlation
// time drift_tau_s). Supply currents scatter by current_noise (relative) around
// their nominal values and rise by current_temp_coeff per degree above ambient.
// The fan runs at fan_min_rpm up to fan_start_c and speeds up by fan_rpm_per_c
// above it, up to fan_max_rpm.
struct StatusConfig {
    double ambient_c = 30.0;
    double warmup_c = 8.0;
    double warmup_tau_s = 600.0;
    double drift_sigma_c = 0.5;
    double drift_tau_s = 300.0;
    std::array<double, 8> nominal_currents_a{1.20, 0.85, 0.60, 2.10, 0.35, 0.45, 1.05, 0.25};
    double current_noise = 0.01;
    double current_temp_coeff = 0.002;
    double fan_min_rpm = 1800;
    double fan_max_rpm = 6000;
    double fan_start_c = 32.0;
    double fan_rpm_per_c = 150;
};

// Produces status readings that move plausibly with simulated time. Not thread-safe.
class StatusModel {
public:
    StatusModel(const StatusConfig& config, std::uint64_t seed);

    // Reading at simulated time t_s (seconds since power-on); times before the
    // previous reading are taken as that reading's time.
    DeviceStatus sample(double t_s);

    // Temperature in degrees Celsius before rounding, at the last reading.
    double temperatureC() const { return temperature_c_; }

private:
    StatusConfig config_;
    std::mt19937_64 rng_;
    double last_t_s_ = 0.0;
    double drift_c_ = 0.0;
    double temperature_c_ = 0.0;
};

}  // namespace veltrano::sim
