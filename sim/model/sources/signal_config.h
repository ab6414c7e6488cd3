#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/model/acquisition/replay_recording.h"

namespace veltrano::sim {

// How a channel's discriminator sees the detector's pulses: a pulse of
// pulse_amplitude_v is detected with an efficiency that falls off smoothly
// (logistic, width amplitude_spread_v) as |DAC| passes the amplitude, and
// electronic noise crosses the threshold at noise_rate_hz * exp(-|DAC| / noise_scale_v).
struct DetectorConfig {
    double pulse_amplitude_v = 0.5;
    double amplitude_spread_v = 0.02;
    double noise_rate_hz = 1e6;
    double noise_scale_v = 0.01;
};

// Per-event pulse shape: width (time over threshold) and deposited energy with a
// photopeak on a Compton-like continuum that rises towards its edge.
struct PulseConfig {
    double width_mean_ps = 8000;
    double width_sigma_ps = 800;
    double photopeak_kev = 662;
    double photopeak_sigma_kev = 20;
    double photopeak_fraction = 0.35;
    double compton_edge_kev = 477;
};

// Photon pairs: channel_a sees the emission time, channel_b the emission time
// plus delay_ps plus Gaussian jitter of standard deviation jitter_ps.
struct PairSourceConfig {
    int channel_a = 1;
    int channel_b = 2;
    double rate_hz = 20000;
    double delay_ps = 1500;
    double jitter_ps = 50;
};

// A periodic clock: each period is (1 + y) / frequency_hz with y Gaussian of
// standard deviation frequency_noise (white frequency noise), and each tag has
// Gaussian white phase noise of phase_noise_ps.
struct ClockSourceConfig {
    bool enabled = true;
    int channel = 16;
    double frequency_hz = 100000;
    double phase_noise_ps = 5;
    double frequency_noise = 1e-7;
};

// A single-photon emitter on one channel: each emission needs an excitation
// (rate excitation_rate_hz) and then a spontaneous decay (mean lifetime_ps), so
// emissions never come together and the channel's g2(tau) is
// 1 - exp(-|tau| (excitation_rate_hz + 1 / lifetime)): antibunched light.
// channel 0: no emitter.
struct EmitterConfig {
    int channel = 0;
    double excitation_rate_hz = 100000;
    double lifetime_ps = 10000;
};

struct SignalConfig {
    int channel_count = 16;
    std::uint64_t seed = 1;
    // Dark-count rate of each channel (index 0 = channel 1), before the DAC's efficiency.
    std::vector<double> background_rate_hz = std::vector<double>(16, 1000.0);
    DetectorConfig detector;
    PulseConfig pulse;
    std::vector<PairSourceConfig> pairs{PairSourceConfig{}};
    ClockSourceConfig clock;
    EmitterConfig emitter;
    // Recorded events played back instead of every source above ("--replay").
    std::shared_ptr<const ReplayRecording> replay;
};

}  // namespace veltrano::sim
