#include "sim/model/analyses/stability_deviation.h"

#include <cmath>

namespace veltrano::sim {
namespace {

// x_{i+2m} - 2 x_{i+m} + x_i: the second difference behind the Allan-type estimators.
double secondDifference(std::span<const double> x, std::size_t i, std::size_t m) {
    return x[i + 2 * m] - 2 * x[i + m] + x[i];
}

}  // namespace

std::vector<double> phaseFromFrequency(std::span<const double> y, double tau0S) {
    std::vector<double> x;
    x.reserve(y.size() + 1);
    double phase = 0;
    x.push_back(phase);
    for (double yi : y) {
        phase += yi * tau0S;
        x.push_back(phase);
    }
    return x;
}

std::vector<std::int64_t> averagingFactors(int decades, int decadePoints) {
    std::vector<std::int64_t> factors;
    if (decades < 1 || decadePoints < 1) return factors;
    for (int k = 0; k < decades * decadePoints; ++k) {
        const auto m = std::llround(std::pow(10.0, static_cast<double>(k) / decadePoints));
        if (factors.empty() || m > factors.back()) factors.push_back(m);
    }
    return factors;
}

std::optional<double> allanDeviation(std::span<const double> x, double tau0S, std::int64_t m) {
    if (m < 1 || static_cast<std::uint64_t>(x.size()) <= 2 * static_cast<std::uint64_t>(m)) return std::nullopt;
    const auto n = static_cast<std::size_t>(m);
    const std::size_t terms = x.size() - 2 * n;
    double sum = 0;
    for (std::size_t i = 0; i < terms; ++i) {
        const double d = secondDifference(x, i, n);
        sum += d * d;
    }
    const double tau = static_cast<double>(m) * tau0S;
    return std::sqrt(sum / (2.0 * tau * tau * static_cast<double>(terms)));
}

std::optional<double> modifiedAllanDeviation(std::span<const double> x, double tau0S, std::int64_t m) {
    if (m < 1 || static_cast<std::uint64_t>(x.size()) < 3 * static_cast<std::uint64_t>(m)) return std::nullopt;
    const auto n = static_cast<std::size_t>(m);
    // The inner sums of m second differences, slid along x one sample at a time.
    double inner = 0;
    for (std::size_t i = 0; i < n; ++i) inner += secondDifference(x, i, n);
    const std::size_t terms = x.size() - 3 * n + 1;
    double sum = inner * inner;
    for (std::size_t j = 1; j < terms; ++j) {
        inner += secondDifference(x, j + n - 1, n) - secondDifference(x, j - 1, n);
        sum += inner * inner;
    }
    const double tau = static_cast<double>(m) * tau0S;
    const double md = static_cast<double>(m);
    return std::sqrt(sum / (2.0 * md * md * tau * tau * static_cast<double>(terms)));
}

std::optional<double> timeDeviation(std::span<const double> x, double tau0S, std::int64_t m) {
    const std::optional<double> mdev = modifiedAllanDeviation(x, tau0S, m);
    if (!mdev) return std::nullopt;
    return static_cast<double>(m) * tau0S * *mdev / std::sqrt(3.0);
}

std::optional<double> hadamardDeviation(std::span<const double> x, double tau0S, std::int64_t m) {
    if (m < 1 || static_cast<std::uint64_t>(x.size()) <= 3 * static_cast<std::uint64_t>(m)) return std::nullopt;
    const auto n = static_cast<std::size_t>(m);
    const std::size_t terms = x.size() - 3 * n;
    double sum = 0;
    for (std::size_t i = 0; i < terms; ++i) {
        const double d = x[i + 3 * n] - 3 * x[i + 2 * n] + 3 * x[i + n] - x[i];
        sum += d * d;
    }
    const double tau = static_cast<double>(m) * tau0S;
    return std::sqrt(sum / (6.0 * tau * tau * static_cast<double>(terms)));
}

PointList stabilityCurve(StabilityMetric metric, std::span<const double> x, double tau0S,
                         std::span<const std::int64_t> factors) {
    PointList curve;
    for (std::int64_t m : factors) {
        std::optional<double> deviation;
        switch (metric) {
            case StabilityMetric::Allan: deviation = allanDeviation(x, tau0S, m); break;
            case StabilityMetric::ModifiedAllan: deviation = modifiedAllanDeviation(x, tau0S, m); break;
            case StabilityMetric::Time: deviation = timeDeviation(x, tau0S, m); break;
            case StabilityMetric::Hadamard: deviation = hadamardDeviation(x, tau0S, m); break;
        }
        if (deviation) curve.push_back({static_cast<double>(m) * tau0S, *deviation});
    }
    return curve;
}

}  // namespace veltrano::sim
