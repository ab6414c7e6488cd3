#pragma once

#include "sim/model/sources/event_source.h"

namespace veltrano::sim {

// Correlated photon pairs between two channels (see PairSourceConfig). Each arm
// is detected independently with its channel's efficiency.
class PairSource final : public EventSource {
public:
    PairSource(std::uint32_t id, const PairSourceConfig& config, const PulseConfig& pulse, std::uint64_t seed);

    void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
              std::vector<EmittedEvent>& out) override;
    std::int64_t maxLeadPs() const override;
    void skipTo(std::int64_t tPs) override;

private:
    PairSourceConfig config_;
    PulseSampler pulses_;
    SourceEngine rng_;
    std::int64_t nextPs_ = -1;
};

}  // namespace veltrano::sim
