#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace veltrano::sim {

// Health readings of the board.
struct DeviceStatus {
    std::int32_t temperatureC = 0;
    std::array<double, 8> currentsA{};
    std::int32_t fanRpm = 0;
};

// Configuration of the health readings. The board warms up from ambient towards
// ambient + warmup_c with time constant warmup_tau_s and drifts around that with
// an Ornstein-Uhlenbeck process (standard deviation drift_sigma_c, correlation
// time drift_tau_s). Supply currents scatter by current_noise (relative) around
// their nominal values and rise by current_temp_coeff per degree above ambient.
// The fan runs at fan_min_rpm up to fan_start_c and speeds up by fan_rpm_per_c
// above it, up to fan_max_rpm.
struct StatusConfig {
    double ambientC = 30.0;
    double warmupC = 8.0;
    double warmupTauS = 600.0;
    double driftSigmaC = 0.5;
    double driftTauS = 300.0;
    std::array<double, 8> nominalCurrentsA{1.20, 0.85, 0.60, 2.10, 0.35, 0.45, 1.05, 0.25};
    double currentNoise = 0.01;
    double currentTempCoeff = 0.002;
    double fanMinRpm = 1800;
    double fanMaxRpm = 6000;
    double fanStartC = 32.0;
    double fanRpmPerC = 150;
};

// Produces status readings that move plausibly with simulated time. Not thread-safe.
class StatusModel {
public:
    StatusModel(const StatusConfig& config, std::uint64_t seed);

    // Reading at simulated time tS (seconds since power-on); times before the
    // previous reading are taken as that reading's time.
    DeviceStatus sample(double tS);

    // Temperature in degrees Celsius before rounding, at the last reading.
    double temperatureC() const { return temperatureC_; }

private:
    StatusConfig config_;
    std::mt19937_64 rng_;
    double lastTS_ = 0.0;
    double driftC_ = 0.0;
    double temperatureC_ = 0.0;
};

}  // namespace veltrano::sim
