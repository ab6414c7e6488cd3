#pragma once
// A signal for the pulse analyses: the light signal's four channels with their
// 5 kHz of dark counts, but the 10 kHz pair source on the A/D channels 1 and 3
// (channel 3 seeing its partner 1500 ps later). Every event carries the default
// pulses: width 8000 +- 800 ps, a 662 keV photopeak (sigma 20 keV, 35 %) on a
// continuum up to 477 keV.

#include "light_signal.h"

namespace veltrano::sim {

inline constexpr double kAdPairDelayPs = 1500;

inline InstrumentConfig adPairSignalConfig() {
    InstrumentConfig c = lightSignalConfig();
    c.signal.pairs = {PairSourceConfig{1, 3, kLightPairCps, kAdPairDelayPs, 50}};
    return c;
}

}  // namespace veltrano::sim
