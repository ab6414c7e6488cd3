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
    if (a.event.timePs != b.event.timePs) return a.event.timePs < b.event.timePs;
    if (a.source != b.source) return a.source < b.source;
    return a.sequence < b.sequence;
}

}  // namespace

EventGenerator::EventGenerator(const SignalConfig& config)
    : config_(config), lastAcceptedPs_(static_cast<std::size_t>(std::max(config.channelCount, 0)), kNoEventYet) {
    if (config.replay) {
        addSource(std::make_unique<ReplaySource>(nextSourceId(), config.replay));
        return;
    }
    for (int ch = 1; ch <= config.channelCount; ++ch) {
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
    maxLeadPs_ = std::max(maxLeadPs_, source->maxLeadPs());
    sources_.push_back(std::move(source));
}

void EventGenerator::generateUntil(std::int64_t untilPs, const std::vector<ChannelSettings>& channels,
                                   std::vector<Event>& out) {
    if (untilPs <= emittedUntilPs_) return;
    const std::vector<ChannelConditions> conditions = channelConditions(config_, channels);
    const std::size_t firstNew = pending_.size();
    for (auto& source : sources_) source->emit(emittedUntilPs_, untilPs, conditions, pending_);
    emittedUntilPs_ = untilPs;

    // The pending tail is already sorted; sort the new part and merge.
    std::sort(pending_.begin() + static_cast<std::ptrdiff_t>(firstNew), pending_.end(), earlier);
    std::inplace_merge(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(firstNew), pending_.end(),
                       earlier);

    // No later emission can produce a tag below this watermark.
    const std::int64_t watermark = untilPs - maxLeadPs_;
    std::size_t released = 0;
    while (released < pending_.size() && pending_[released].event.timePs < watermark) {
        const Event& e = pending_[released].event;
        ++released;
        const std::size_t index = static_cast<std::size_t>(e.channel - 1);
        if (index >= lastAcceptedPs_.size() || index >= conditions.size()) continue;
        std::int64_t& last = lastAcceptedPs_[index];
        if (last != kNoEventYet && e.timePs - last < conditions[index].deadTimePs) continue;
        last = e.timePs;
        out.push_back(e);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(released));
}

void EventGenerator::replayFrom(std::int64_t tPs) {
    pending_.clear();
    std::fill(lastAcceptedPs_.begin(), lastAcceptedPs_.end(), kNoEventYet);
    for (auto& source : sources_) source->skipTo(tPs);
    emittedUntilPs_ = tPs;
}

void EventGenerator::skipTo(std::int64_t tPs) {
    if (tPs <= emittedUntilPs_) return;
    pending_.clear();
    std::fill(lastAcceptedPs_.begin(), lastAcceptedPs_.end(), kNoEventYet);
    for (auto& source : sources_) source->skipTo(tPs);
    emittedUntilPs_ = tPs;
}

}  // namespace veltrano::sim
