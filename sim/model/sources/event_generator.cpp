#include "sim/model/sources/event_generator.h"

#include <algorithm>
#include <limits>

#include "sim/model/sources/background_source.h"
#include "sim/model/sources/clock_source.h"
#include "sim/model/sources/detection.h"
#include "sim/model/sources/emitter_source.h"
#include "sim/model/sources/pair_source.h"
#include "sim/model/sources/replay_source.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kNoEventYet = std::numeric_limits<std::int64_t>::min();

bool earlier(const EmittedEvent& a, const EmittedEvent& b) {
    if (a.event.time_ps != b.event.time_ps) return a.event.time_ps < b.event.time_ps;
    if (a.source != b.source) return a.source < b.source;
    return a.sequence < b.sequence;
}

}  // namespace

EventGenerator::EventGenerator(const SignalConfig& config)
    : config_(config), last_accepted_ps_(static_cast<std::size_t>(std::max(config.channel_count, 0)), kNoEventYet) {
    if (config.replay) {
        addSource(std::make_unique<ReplaySource>(nextSourceId(), config.replay));
        return;
    }
    for (int ch = 1; ch <= config.channel_count; ++ch) {
        addSource(std::make_unique<BackgroundSource>(nextSourceId(), ch, config.pulse, config.seed));
    }
    for (const PairSourceConfig& pair : config.pairs) {
        addSource(std::make_unique<PairSource>(nextSourceId(), pair, config.pulse, config.seed));
    }
    addSource(std::make_unique<ClockSource>(nextSourceId(), config.clock, config.pulse, config.seed));
    // Added last, and only when configured, so the other sources' streams stay as they were.
    if (config.emitter.channel != 0) {
        addSource(std::make_unique<EmitterSource>(nextSourceId(), config.emitter, config.pulse, config.seed));
    }
}

void EventGenerator::addSource(std::unique_ptr<EventSource> source) {
    max_lead_ps_ = std::max(max_lead_ps_, source->maxLeadPs());
    sources_.push_back(std::move(source));
}

void EventGenerator::generateUntil(std::int64_t until_ps, const std::vector<ChannelSettings>& channels,
                                   std::vector<Event>& out) {
    if (until_ps <= emitted_until_ps_) return;
    const std::vector<ChannelConditions> conditions = channelConditions(config_, channels);
    const std::size_t first_new = pending_.size();
    for (auto& source : sources_) source->emit(emitted_until_ps_, until_ps, conditions, pending_);
    emitted_until_ps_ = until_ps;

    // The pending tail is already sorted; sort the new part and merge.
    std::sort(pending_.begin() + static_cast<std::ptrdiff_t>(first_new), pending_.end(), earlier);
    std::inplace_merge(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(first_new), pending_.end(),
                       earlier);

    // No later emission can produce a tag below this watermark.
    const std::int64_t watermark = until_ps - max_lead_ps_;
    std::size_t released = 0;
    while (released < pending_.size() && pending_[released].event.time_ps < watermark) {
        const Event& e = pending_[released].event;
        ++released;
        const std::size_t index = static_cast<std::size_t>(e.channel - 1);
        if (index >= last_accepted_ps_.size() || index >= conditions.size()) continue;
        std::int64_t& last = last_accepted_ps_[index];
        if (last != kNoEventYet && e.time_ps - last < conditions[index].dead_time_ps) continue;
        last = e.time_ps;
        out.push_back(e);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(released));
}

void EventGenerator::replayFrom(std::int64_t t_ps) {
    pending_.clear();
    std::fill(last_accepted_ps_.begin(), last_accepted_ps_.end(), kNoEventYet);
    for (auto& source : sources_) source->skipTo(t_ps);
    emitted_until_ps_ = t_ps;
}

void EventGenerator::skipTo(std::int64_t t_ps) {
    if (t_ps <= emitted_until_ps_) return;
    pending_.clear();
    std::fill(last_accepted_ps_.begin(), last_accepted_ps_.end(), kNoEventYet);
    for (auto& source : sources_) source->skipTo(t_ps);
    emitted_until_ps_ = t_ps;
}

}  // namespace veltrano::sim
