#include "sim/model/sources/detection.h"

#include <cmath>

namespace veltrano::sim {

double detectionEfficiency(const DetectorConfig& detector, double dac_v) {
    const double spread = detector.amplitude_spread_v > 0 ? detector.amplitude_spread_v : 1e-12;
    const double x = (std::fabs(dac_v) - detector.pulse_amplitude_v) / spread;
    if (x > 700) return 0.0;
    return 1.0 / (1.0 + std::exp(x));
}

double noiseRateHz(const DetectorConfig& detector, double dac_v) {
    if (detector.noise_scale_v <= 0) return 0.0;
    return detector.noise_rate_hz * std::exp(-std::fabs(dac_v) / detector.noise_scale_v);
}

std::vector<ChannelConditions> channelConditions(const SignalConfig& config,
                                                 const std::vector<ChannelSettings>& channels) {
    std::vector<ChannelConditions> out(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const ChannelSettings& ch = channels[i];
        ChannelConditions& c = out[i];
        c.enabled = ch.enabled;
        c.efficiency = detectionEfficiency(config.detector, ch.dac_v);
        const double dark = i < config.background_rate_hz.size() ? config.background_rate_hz[i] : 0.0;
        c.background_rate_hz = ch.enabled ? dark * c.efficiency + noiseRateHz(config.detector, ch.dac_v) : 0.0;
        c.inter_delay_ps = ch.get(ChannelSetting::InterDelay);
        c.dead_time_ps = ch.get(ChannelSetting::DeadTime);
        c.falling_edge = ch.get(ChannelSetting::EdgeType) == 1;
    }
    return out;
}

}  // namespace veltrano::sim
