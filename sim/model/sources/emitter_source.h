#pragma once

#include "sim/model/sources/event_source.h"

namespace veltrano::sim {

// A single-photon emitter (EmitterConfig): a renewal process whose gaps are an
// exponential excitation time plus an exponential decay time, each emission
// seen with its channel's efficiency. Sub-Poissonian: no two emissions at once.
class EmitterSource final : public EventSource {
public:
    EmitterSource(std::uint32_t id, const EmitterConfig& config, const PulseConfig& pulse, std::uint64_t seed);

    void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
              std::vector<EmittedEvent>& out) override;
    void skipTo(std::int64_t tPs) override;

private:
    std::int64_t gapPs();

    EmitterConfig config_;
    PulseSampler pulses_;
    SourceEngine rng_;
    std::int64_t nextPs_ = -1;  // -1: draw the next emission afresh from the interval's start
};

}  // namespace veltrano::sim
