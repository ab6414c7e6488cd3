#pragma once

#include "sim/model/sources/event_source.h"

namespace veltrano::sim {

// A periodic clock on one channel with white frequency noise (per-period
// fractional deviation) and white phase noise (per-tag jitter).
class ClockSource final : public EventSource {
public:
    ClockSource(std::uint32_t id, const ClockSourceConfig& config, const PulseConfig& pulse, std::uint64_t seed);

    void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
              std::vector<EmittedEvent>& out) override;
    std::int64_t maxLeadPs() const override;
    void skipTo(std::int64_t tPs) override;

private:
    double nextPeriodPs();
    void advanceIdealTick(double ps);

    ClockSourceConfig config_;
    PulseSampler pulses_;
    SourceEngine rng_;
    double periodPs_;
    // Ideal (noise-free in phase) time of the next tick: whole ps plus a fraction.
    std::int64_t nextWholePs_ = 0;
    double nextFractionPs_ = 0.0;
};

}  // namespace veltrano::sim
