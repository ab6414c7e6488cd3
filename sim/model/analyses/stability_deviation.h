#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/model/analyses/point_list.h"

namespace veltrano::sim {

// The frequency-stability deviations the period analysis reports, numbered as
// "fetch_period_stability_metric" asks for them.
enum class StabilityMetric : int {
    Allan = 0,          // overlapping Allan deviation
    ModifiedAllan = 1,  // modified Allan deviation
    Time = 2,           // time deviation: tau x MDEV / sqrt(3)
    Hadamard = 3,       // overlapping Hadamard deviation
};
inline constexpr int kStabilityMetricCount = 4;

// Phase (time error, s) of a clock from its fractional frequency samples y,
// each over tau0S: x_0 = 0, x_{i+1} = x_i + y_i tau0. Gives y.size() + 1 samples.
std::vector<double> phaseFromFrequency(std::span<const double> y, double tau0S);

// The averaging factors m of `decades` x `decade_points` averaging times
// m tau0: m = round(10^(k / decade_points)) for k = 0 .. decades x decade_points - 1,
// each distinct m once, ascending.
std::vector<std::int64_t> averagingFactors(int decades, int decadePoints);

// The overlapping estimators of the frequency-stability literature on phase
// samples x (s) spaced tau0S apart, at tau = m tau0. Empty when x is too short
// for the estimator at that m (Allan: N > 2m, modified Allan: N >= 3m,
// Hadamard: N > 3m samples) or m < 1.
std::optional<double> allanDeviation(std::span<const double> x, double tau0S, std::int64_t m);
std::optional<double> modifiedAllanDeviation(std::span<const double> x, double tau0S, std::int64_t m);
std::optional<double> timeDeviation(std::span<const double> x, double tau0S, std::int64_t m);
std::optional<double> hadamardDeviation(std::span<const double> x, double tau0S, std::int64_t m);

// (tau s, deviation) for each factor the estimator covers.
PointList stabilityCurve(StabilityMetric metric, std::span<const double> x, double tau0S,
                         std::span<const std::int64_t> factors);

}  // namespace veltrano::sim
