#include "sim/model/sources/detection.h"

#include <cmath>

namespace veltrano::sim {

double detectionEfficiency(const DetectorConfig& detector, double dacV) {
    const double spread = detector.amplitudeSpreadV > 0 ? detector.amplitudeSpreadV : 1e-12;
    const double x = (std::fabs(dacV) - detector.pulseAmplitudeV) / spread;
    if (x > 700) return 0.0;
    return 1.0 / (1.0 + std::exp(x));
}

double noiseRateHz(const DetectorConfig& detector, double dacV) {
    if (detector.noiseScaleV <= 0) return 0.0;
    return detector.noiseRateHz * std::exp(-std::fabs(dacV) / detector.noiseScaleV);
}

std::vector<ChannelConditions> channelConditions(const SignalConfig& config,
                                                 const std::vector<ChannelSettings>& channels) {
    std::vector<ChannelConditions> out(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const ChannelSettings& ch = channels[i];
        ChannelConditions& c = out[i];
        c.enabled = ch.enabled;
        c.efficiency = detectionEfficiency(config.detector, ch.dacV);
        const double dark = i < config.backgroundRateHz.size() ? config.backgroundRateHz[i] : 0.0;
        c.backgroundRateHz = ch.enabled ? dark * c.efficiency + noiseRateHz(config.detector, ch.dacV) : 0.0;
        c.interDelayPs = ch.get(ChannelSetting::InterDelay);
        c.deadTimePs = ch.get(ChannelSetting::DeadTime);
        c.fallingEdge = ch.get(ChannelSetting::EdgeType) == 1;
    }
    return out;
}

}  // namespace veltrano::sim
