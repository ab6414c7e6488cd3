#include "sim/model/sources/replay_source.h"

#include <algorithm>

#include "sim/model/common/floor_div.h"

namespace veltrano::sim {

ReplaySource::ReplaySource(std::uint32_t id, std::shared_ptr<const ReplayRecording> recording)
    : EventSource(id), recording_(std::move(recording)) {}

std::int64_t ReplaySource::nextTimePs() const {
    if (next_ >= recording_->events.size()) return kNeverPs;
    return cycle_ * recording_->length_ps + recording_->events[next_].time_ps;
}

void ReplaySource::emit(std::int64_t from_ps, std::int64_t to_ps, std::span<const ChannelConditions> channels,
                        std::vector<EmittedEvent>& out) {
    const auto& events = recording_->events;
    for (std::int64_t t = nextTimePs(); t < to_ps; t = nextTimePs()) {
        const Event& recorded = events[next_];
        const auto index = static_cast<std::size_t>(recorded.channel - 1);
        if (t >= from_ps && index < channels.size() && channels[index].enabled) {
            Event e = recorded;
            e.time_ps = t + channels[index].inter_delay_ps;
            out.push_back(stamped(e));
        }
        if (++next_ == events.size() && recording_->loop) {
            next_ = 0;
            ++cycle_;
        }
    }
}

void ReplaySource::skipTo(std::int64_t t_ps) {
    const auto& events = recording_->events;
    cycle_ = recording_->loop ? floorDiv(t_ps, recording_->length_ps) : 0;
    const std::int64_t within = t_ps - cycle_ * recording_->length_ps;
    next_ = static_cast<std::size_t>(
        std::lower_bound(events.begin(), events.end(), within,
                         [](const Event& e, std::int64_t t) { return e.time_ps < t; }) -
        events.begin());
    if (next_ == events.size() && recording_->loop) {
        next_ = 0;
        ++cycle_;
    }
}

}  // namespace veltrano::sim
