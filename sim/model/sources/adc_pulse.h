#pragma once

#include <cstdint>

namespace veltrano::sim {

// The A/D path of the odd channels. Each detected pulse is digitised from its
// trigger on, one sample every kAdcSamplePs. Sample k (0, 1, ...) of a pulse of
// energy E holds the ADC code round(E x kAdcAreaPerKev x s(k)), where the shape
//   s(k) = (a^k - b^k) / S,  a = exp(-1 / kPulseDecaySamples), b = exp(-1 / kPulseRiseSamples),
// rises within a few samples and decays exponentially; S makes the whole pulse
// sum to 1, so a pulse's full area is E x kAdcAreaPerKev.
inline constexpr std::int64_t kAdcSamplePs = 4000;
inline constexpr double kPulseRiseSamples = 2;
inline constexpr double kPulseDecaySamples = 16;
inline constexpr double kAdcAreaPerKev = 16;
// The longest integration ("set_adp", "ad_integration_point") in samples.
inline constexpr int kMaxIntegrationPoints = 1024;

// A/D channels are the odd ones.
inline bool isAdChannel(int channel) { return channel % 2 == 1; }

// s(k); 0 for k < 0.
double pulseShape(int k);
// The ADC code of sample k of a pulse of energy_kev.
std::int32_t adcSample(float energyKev, int k);
// The sum of the first integrationPoints samples (at most kMaxIntegrationPoints).
std::int64_t pulseArea(float energyKev, int integrationPoints);
// The pulse area over area_scale (at least 1), rounded to the nearest code:
// the value the energy analyses histogram.
std::int32_t scaledPulseArea(float energyKev, int integrationPoints, std::int64_t areaScale);
// The share of a pulse's area within its first integrationPoints samples, before
// rounding: the photopeak of E keV sits at E x kAdcAreaPerKev x this / area_scale.
double pulseAreaFraction(int integrationPoints);

}  // namespace veltrano::sim
