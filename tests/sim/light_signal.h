#pragma once
// A small signal for the simulator's model tests: four channels with 5 kHz of
// dark counts each (plus about 45 Hz of threshold noise at the default DAC) and
// a 10 kHz pair source on channels 1 and 2, channel 2 seeing its partner 1500 ps
// later; no clock source. About 40000 events per second.

#include "sim/model/settings/instrument_config.h"

namespace veltrano::sim {

inline constexpr double kLightBackgroundCps = 5000 + 45;
inline constexpr double kLightPairCps = 10000;

inline InstrumentConfig lightSignalConfig() {
    InstrumentConfig c;
    c.signal.channelCount = 4;
    c.signal.backgroundRateHz.assign(4, 5000.0);
    c.signal.pairs = {PairSourceConfig{1, 2, kLightPairCps, 1500, 50}};
    c.signal.clock.enabled = false;
    c.signal.clock.channel = 4;
    return c;
}

}  // namespace veltrano::sim
