#include "sim/model/sources/adc_pulse.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace veltrano::sim {
namespace {

using ShapeTable = std::array<double, kMaxIntegrationPoints>;

double computedShape(int k) {
    const double a = std::exp(-1.0 / kPulseDecaySamples);
    const double b = std::exp(-1.0 / kPulseRiseSamples);
    // The sum over all k >= 0 of a^k - b^k.
    const double whole = 1.0 / (1.0 - a) - 1.0 / (1.0 - b);
    return (std::pow(a, k) - std::pow(b, k)) / whole;
}

// s(k) for every sample an integration can reach, computed once.
const ShapeTable& shapeTable() {
    static const ShapeTable table = [] {
        ShapeTable t{};
        for (int k = 0; k < kMaxIntegrationPoints; ++k) t[k] = computedShape(k);
        return t;
    }();
    return table;
}

}  // namespace

double pulseShape(int k) {
    if (k < 0) return 0.0;
    return k < kMaxIntegrationPoints ? shapeTable()[k] : computedShape(k);
}

std::int32_t adcSample(float energyKev, int k) {
    return static_cast<std::int32_t>(std::llround(static_cast<double>(energyKev) * kAdcAreaPerKev * pulseShape(k)));
}

std::int64_t pulseArea(float energyKev, int integrationPoints) {
    const int n = std::clamp(integrationPoints, 0, kMaxIntegrationPoints);
    std::int64_t area = 0;
    for (int k = 0; k < n; ++k) {
        const std::int32_t sample = adcSample(energyKev, k);
        // Past its peak the pulse only decays: once a sample rounds to 0, so do all later ones.
        if (sample == 0 && k > kPulseDecaySamples) break;
        area += sample;
    }
    return area;
}

std::int32_t scaledPulseArea(float energyKev, int integrationPoints, std::int64_t areaScale) {
    const std::int64_t scale = std::max<std::int64_t>(areaScale, 1);
    return static_cast<std::int32_t>((pulseArea(energyKev, integrationPoints) + scale / 2) / scale);
}

double pulseAreaFraction(int integrationPoints) {
    const int n = std::clamp(integrationPoints, 0, kMaxIntegrationPoints);
    double sum = 0;
    for (int k = 0; k < n; ++k) sum += shapeTable()[k];
    return sum;
}

}  // namespace veltrano::sim
