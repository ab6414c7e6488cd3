#include "sim/model/sources/replay_source.h"

#include <algorithm>

#include "sim/model/common/floor_div.h"

namespace veltrano::sim {

ReplaySource::ReplaySource(std::uint32_t id, std::shared_ptr<const ReplayRecording> recording)
    : EventSource(id), recording_(std::move(recording)) {}

std::int64_t ReplaySource::nextTimePs() const {
    if (next_ >= recording_->events.size()) return kNeverPs;
    return cycle_ * recording_->lengthPs + recording_->events[next_].timePs;
}

void ReplaySource::emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
                        std::vector<EmittedEvent>& out) {
    const auto& events = recording_->events;
    for (std::int64_t t = nextTimePs(); t < toPs; t = nextTimePs()) {
        const Event& recorded = events[next_];
        const auto index = static_cast<std::size_t>(recorded.channel - 1);
        if (t >= fromPs && index < channels.size() && channels[index].enabled) {
            Event e = recorded;
            e.timePs = t + channels[index].interDelayPs;
            out.push_back(stamped(e));
        }
        if (++next_ == events.size() && recording_->loop) {
            next_ = 0;
            ++cycle_;
        }
    }
}

void ReplaySource::skipTo(std::int64_t tPs) {
    const auto& events = recording_->events;
    cycle_ = recording_->loop ? floorDiv(tPs, recording_->lengthPs) : 0;
    const std::int64_t within = tPs - cycle_ * recording_->lengthPs;
    next_ = static_cast<std::size_t>(
        std::lower_bound(events.begin(), events.end(), within,
                         [](const Event& e, std::int64_t t) { return e.timePs < t; }) -
        events.begin());
    if (next_ == events.size() && recording_->loop) {
        next_ = 0;
        ++cycle_;
    }
}

}  // namespace veltrano::sim
