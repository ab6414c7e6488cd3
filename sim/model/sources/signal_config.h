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
    double pulseAmplitudeV = 0.5;
    double amplitudeSpreadV = 0.02;
    double noiseRateHz = 1e6;
    double noiseScaleV = 0.01;
};

// Per-event pulse shape: width (time over threshold) and deposited energy with a
// photopeak on a Compton-like continuum that rises towards its edge.
struct PulseConfig {
    double widthMeanPs = 8000;
    double widthSigmaPs = 800;
    double photopeakKev = 662;
    double photopeakSigmaKev = 20;
    double photopeakFraction = 0.35;
    double comptonEdgeKev = 477;
};

// Photon pairs: channel_a sees the emission time, channel_b the emission time
// plus delay_ps plus Gaussian jitter of standard deviation jitter_ps.
struct PairSourceConfig {
    int channelA = 1;
    int channelB = 2;
    double rateHz = 20000;
    double delayPs = 1500;
    double jitterPs = 50;
};

// A periodic clock: each period is (1 + y) / frequency_hz with y Gaussian of
// standard deviation frequency_noise (white frequency noise), and each tag has
// Gaussian white phase noise of phase_noise_ps.
struct ClockSourceConfig {
    bool enabled = true;
    int channel = 16;
    double frequencyHz = 100000;
    double phaseNoisePs = 5;
    double frequencyNoise = 1e-7;
};

// A single-photon emitter on one channel: each emission needs an excitation
// (rate excitation_rate_hz) and then a spontaneous decay (mean lifetime_ps), so
// emissions never come together and the channel's g2(tau) is
// 1 - exp(-|tau| (excitation_rate_hz + 1 / lifetime)): antibunched light.
// channel 0: no emitter.
struct EmitterConfig {
    int channel = 0;
    double excitationRateHz = 100000;
    double lifetimePs = 10000;
};

struct SignalConfig {
    int channelCount = 16;
    std::uint64_t seed = 1;
    // Dark-count rate of each channel (index 0 = channel 1), before the DAC's efficiency.
    std::vector<double> backgroundRateHz = std::vector<double>(16, 1000.0);
    DetectorConfig detector;
    PulseConfig pulse;
    std::vector<PairSourceConfig> pairs{PairSourceConfig{}};
    ClockSourceConfig clock;
    EmitterConfig emitter;
    // Recorded events played back instead of every source above ("--replay").
    std::shared_ptr<const ReplayRecording> replay;
};

}  // namespace veltrano::sim
