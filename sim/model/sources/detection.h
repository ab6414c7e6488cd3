#pragma once

#include <cstdint>
#include <vector>

#include "sim/model/settings/channel_settings.h"
#include "sim/model/sources/signal_config.h"

namespace veltrano::sim {

// Probability that a pulse of the detector's amplitude crosses the threshold.
double detectionEfficiency(const DetectorConfig& detector, double dacV);
// Rate of threshold crossings caused by electronic noise alone.
double noiseRateHz(const DetectorConfig& detector, double dacV);

// What the event sources need to know about a channel at a moment.
struct ChannelConditions {
    bool enabled = true;
    double efficiency = 1.0;
    double backgroundRateHz = 0.0;  // dark counts seen plus noise; 0 when disabled
    std::int64_t interDelayPs = 0;
    std::int64_t deadTimePs = 0;
    bool fallingEdge = false;
};

std::vector<ChannelConditions> channelConditions(const SignalConfig& config,
                                                 const std::vector<ChannelSettings>& channels);

}  // namespace veltrano::sim
