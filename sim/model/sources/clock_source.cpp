#include "sim/model/sources/clock_source.h"

#include <cmath>

namespace veltrano::sim {

ClockSource::ClockSource(std::uint32_t id, const ClockSourceConfig& config, const PulseConfig& pulse,
                         std::uint64_t seed)
    : EventSource(id),
      config_(config),
      pulses_(pulse),
      rng_(makeSourceEngine(seed, id)),
      period_ps_(config.frequency_hz > 0 ? 1e12 / config.frequency_hz : 0.0) {
    if (period_ps_ > 0) advanceIdealTick(nextPeriodPs());
}

void ClockSource::advanceIdealTick(double ps) {
    next_fraction_ps_ += ps;
    const double whole = std::floor(next_fraction_ps_);
    next_whole_ps_ += static_cast<std::int64_t>(whole);
    next_fraction_ps_ -= whole;
}

double ClockSource::nextPeriodPs() {
    std::normal_distribution<double> y(0.0, config_.frequency_noise > 0 ? config_.frequency_noise : 0.0);
    const double period = period_ps_ * (1.0 + (config_.frequency_noise > 0 ? y(rng_) : 0.0));
    return period > 0 ? period : 0.0;
}

void ClockSource::emit(std::int64_t, std::int64_t to_ps, std::span<const ChannelConditions> channels,
                       std::vector<EmittedEvent>& out) {
    if (!config_.enabled || period_ps_ <= 0) return;
    if (config_.channel < 1 || config_.channel > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[config_.channel - 1];
    while (next_whole_ps_ < to_ps) {
        const bool seen = detects(rng_, conditions);
        const double jitter = clampedNormal(rng_, config_.phase_noise_ps);
        const std::int64_t tag = next_whole_ps_ + std::llround(next_fraction_ps_ + jitter);
        EmittedEvent event = detection(tag, config_.channel, conditions, pulses_, rng_);
        event.event.clock_tick = true;
        if (seen) out.push_back(event);
        advanceIdealTick(nextPeriodPs());
    }
}

std::int64_t ClockSource::maxLeadPs() const {
    return static_cast<std::int64_t>(std::ceil(kJitterClampSigmas * std::fabs(config_.phase_noise_ps))) + 1;
}

void ClockSource::skipTo(std::int64_t t_ps) {
    if (period_ps_ <= 0 || next_whole_ps_ >= t_ps) return;
    // Jump whole periods at once; the accumulated frequency noise of k periods
    // is Gaussian with k times the variance of one.
    const double k = std::ceil(static_cast<double>(t_ps - next_whole_ps_) / period_ps_);
    std::normal_distribution<double> walk(0.0, 1.0);
    const double noise = config_.frequency_noise > 0 ? walk(rng_) * config_.frequency_noise * period_ps_ * std::sqrt(k)
                                                     : 0.0;
    advanceIdealTick(k * period_ps_ + noise);
    while (next_whole_ps_ < t_ps) advanceIdealTick(nextPeriodPs());
}

}  // namespace veltrano::sim
