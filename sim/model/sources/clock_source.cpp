#include "sim/model/sources/clock_source.h"

#include <cmath>

namespace veltrano::sim {

ClockSource::ClockSource(std::uint32_t id, const ClockSourceConfig& config, const PulseConfig& pulse,
                         std::uint64_t seed)
    : EventSource(id),
      config_(config),
      pulses_(pulse),
      rng_(makeSourceEngine(seed, id)),
      periodPs_(config.frequencyHz > 0 ? 1e12 / config.frequencyHz : 0.0) {
    if (periodPs_ > 0) advanceIdealTick(nextPeriodPs());
}

void ClockSource::advanceIdealTick(double ps) {
    nextFractionPs_ += ps;
    const double whole = std::floor(nextFractionPs_);
    nextWholePs_ += static_cast<std::int64_t>(whole);
    nextFractionPs_ -= whole;
}

double ClockSource::nextPeriodPs() {
    std::normal_distribution<double> y(0.0, config_.frequencyNoise > 0 ? config_.frequencyNoise : 0.0);
    const double period = periodPs_ * (1.0 + (config_.frequencyNoise > 0 ? y(rng_) : 0.0));
    return period > 0 ? period : 0.0;
}

void ClockSource::emit(std::int64_t, std::int64_t toPs, std::span<const ChannelConditions> channels,
                       std::vector<EmittedEvent>& out) {
    if (!config_.enabled || periodPs_ <= 0) return;
    if (config_.channel < 1 || config_.channel > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[config_.channel - 1];
    while (nextWholePs_ < toPs) {
        const bool seen = detects(rng_, conditions);
        const double jitter = clampedNormal(rng_, config_.phaseNoisePs);
        const std::int64_t tag = nextWholePs_ + std::llround(nextFractionPs_ + jitter);
        EmittedEvent event = detection(tag, config_.channel, conditions, pulses_, rng_);
        event.event.clockTick = true;
        if (seen) out.push_back(event);
        advanceIdealTick(nextPeriodPs());
    }
}

std::int64_t ClockSource::maxLeadPs() const {
    return static_cast<std::int64_t>(std::ceil(kJitterClampSigmas * std::fabs(config_.phaseNoisePs))) + 1;
}

void ClockSource::skipTo(std::int64_t tPs) {
    if (periodPs_ <= 0 || nextWholePs_ >= tPs) return;
    // Jump whole periods at once; the accumulated frequency noise of k periods
    // is Gaussian with k times the variance of one.
    const double k = std::ceil(static_cast<double>(tPs - nextWholePs_) / periodPs_);
    std::normal_distribution<double> walk(0.0, 1.0);
    const double noise = config_.frequencyNoise > 0 ? walk(rng_) * config_.frequencyNoise * periodPs_ * std::sqrt(k)
                                                     : 0.0;
    advanceIdealTick(k * periodPs_ + noise);
    while (nextWholePs_ < tPs) advanceIdealTick(nextPeriodPs());
}

}  // namespace veltrano::sim
