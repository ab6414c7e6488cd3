#pragma once

#include "sim/model/sources/event_source.h"

namespace veltrano::sim {

// Poisson dark counts and noise crossings of one channel. The rate follows the
// channel's DAC and enabled state; when it changes, the next arrival is drawn
// afresh (a Poisson process has no memory, so this stays exact).
class BackgroundSource final : public EventSource {
public:
    BackgroundSource(std::uint32_t id, int channel, const PulseConfig& pulse, std::uint64_t seed);

    void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
              std::vector<EmittedEvent>& out) override;
    void skipTo(std::int64_t tPs) override;

private:
    int channel_;
    PulseSampler pulses_;
    SourceEngine rng_;
    double rateInUseHz_ = -1.0;
    std::int64_t nextPs_ = kNeverPs;
    bool restart_ = false;
};

}  // namespace veltrano::sim
