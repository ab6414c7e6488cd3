#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/model/settings/channel_settings.h"
#include "sim/model/sources/event.h"
#include "sim/model/sources/event_source.h"
#include "sim/model/sources/signal_config.h"

namespace veltrano::sim {

// Produces the detections of all sources in time order as simulated time passes.
// The output does not depend on how time is sliced into calls: for a fixed seed
// and fixed settings, one call up to T yields the same events as many calls up to T.
// Not thread-safe; the Instrument serialises access.
class EventGenerator {
public:
    explicit EventGenerator(const SignalConfig& config);

    // Appends, in time order, every event whose tag is below untilPs minus the
    // largest lead of any source (those later may still be overtaken), applying
    // each channel's dead time. `channels` are the settings in force now.
    void generateUntil(std::int64_t untilPs, const std::vector<ChannelSettings>& channels, std::vector<Event>& out);
    // Forgets everything before tPs without producing it.
    void skipTo(std::int64_t tPs);
    // Starts producing at tPs, which may lie before 0: only for a replay,
    // whose source can begin anywhere on its time line.
    void replayFrom(std::int64_t tPs);
    // Adds a further source; its id must be unique among the generator's sources.
    void addSource(std::unique_ptr<EventSource> source);

    std::int64_t emittedUntilPs() const { return emittedUntilPs_; }
    // Every event tagged below this has been handed out by generateUntil.
    std::int64_t completeBeforePs() const { return emittedUntilPs_ - maxLeadPs_; }
    std::uint32_t nextSourceId() const { return static_cast<std::uint32_t>(sources_.size()); }

private:
    SignalConfig config_;
    std::vector<std::unique_ptr<EventSource>> sources_;
    std::vector<EmittedEvent> pending_;
    std::vector<std::int64_t> lastAcceptedPs_;
    std::int64_t emittedUntilPs_ = 0;
    std::int64_t maxLeadPs_ = 0;
};

}  // namespace veltrano::sim
