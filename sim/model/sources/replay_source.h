#pragma once

#include <cstdint>
#include <memory>

#include "sim/model/sources/event_source.h"
#include "sim/model/acquisition/replay_recording.h"

namespace veltrano::sim {

// Plays a recording back as the instrument's only source: each recorded event
// comes at its tag (plus its channel's inter delay), on its channel when that
// channel is enabled; thresholds and edges cannot change recorded events. A
// looped recording repeats every lengthPs; otherwise the signal ends with it.
class ReplaySource final : public EventSource {
public:
    ReplaySource(std::uint32_t id, std::shared_ptr<const ReplayRecording> recording);

    void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
              std::vector<EmittedEvent>& out) override;
    std::int64_t maxLeadPs() const override { return 0; }
    void skipTo(std::int64_t tPs) override;

private:
    std::int64_t nextTimePs() const;

    std::shared_ptr<const ReplayRecording> recording_;
    std::int64_t cycle_ = 0;  // repetitions of a looped recording passed
    std::size_t next_ = 0;    // the next recorded event of the current repetition
};

}  // namespace veltrano::sim
