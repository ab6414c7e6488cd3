#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/model/sources/event_sink.h"
#include "sim/model/settings/measurement_config.h"
#include "sim/model/common/model_error.h"

namespace veltrano::sim {

enum class RateKind { Single = 0, Coincidence = 1 };

// The instrument's count-rate meter: every channel's events, and those with an
// event of another channel within plus or minus the coincidence window, counted
// in 1 ms bins over the last second. Two recordings (one per kind) sample every
// channel at a fixed interval of simulated time into text rows
// "timestamp,channel_no,cps" (timestamp in ms since the recording started).
//
// The meter keeps its own time line, the tags plus an offset that grows at each
// time base restart, so rates and recordings go on across "tdc_resetn" and
// acquisition starts. An event's coincidence is settled once the signal is
// complete one window past it; it is then counted in its bin.
//
// A real meter never stops counting, so the stretches of signal the instrument
// skipped while nobody needed them (and everything before power-on) are noted
// as gaps; whoever reads a rate first fills the gaps of the last second with
// backfill() (see Instrument::fillRateHistory).
//
// Thread rules: every member below mutex_ is guarded by it; the sink calls come
// with the instrument's lock held (lock order: instrument, then this).
class RateMeter final : public EventSink {
public:
    RateMeter(int channelCount, RateConfig config, std::int64_t coincidenceWindowPs);

    void setCoincidenceWindowPs(std::int64_t windowPs);
    // Asks the instrument, for the next minute, to produce the last second of
    // signal whenever it catches up after a pause, so that rates are read over
    // a full second. Call it before advancing the signal to read a rate; without
    // it a pause costs nothing (the meter forgets what it missed).
    void keepHistory();
    // How much signal before "now" must be whole for the rates read or
    // recorded now: 0 while nobody reads or records them.
    std::int64_t historyToFillPs() const;
    // The gaps in [fromPs, toPs) on the current time base, in time order.
    struct Span {
        std::int64_t fromPs;
        std::int64_t toPs;
    };
    std::vector<Span> gapsWithin(std::int64_t fromPs, std::int64_t toPs) const;
    // Counts `events` (time order, current time base), produced for the gaps
    // in [fromPs, toPs), into their bins as if they had come in time; those
    // gaps are then filled. Coincidences are judged among these events.
    void backfill(std::span<const Event> events, std::int64_t fromPs, std::int64_t toPs);
    // Counts of the last second (the 1000 latest complete bins).
    Outcome<std::int64_t> rate(RateKind kind, int channel) const;

    // Starts (or restarts, dropping its rows) the recording of `kind`.
    void startRecording(RateKind kind);
    // The rows recorded so far; ends the recording. Empty without one.
    std::string takeRecording(RateKind kind);
    // Ends both recordings, dropping their rows.
    void stopRecordings();

    void onEvents(std::span<const Event> events) override;
    void onProgress(std::int64_t completeBeforePs) override;
    void onTimeBaseRestart(std::int64_t previousTimeBasePs) override;
    void onSkipped(std::int64_t fromPs, std::int64_t toPs) override;
    std::int64_t historyNeededPs() const override;

private:
    struct Recent {
        std::int64_t timePs;  // on the meter's time line
        int channel;
        bool coincident;
    };
    struct Recording {
        bool active = false;
        bool sampling = false;
        std::int64_t startBin = 0;
        std::int64_t nextSampleBin = 0;
        std::int64_t lastSampleBin = 0;
        std::string rows;
    };

    void settleBefore(std::int64_t limitPs);
    void countSettled(const Recent& event);
    void countBackfilled(std::int64_t timePs, int channel, bool coincident);
    void forgetGapsBefore(std::int64_t timePs);
    void advanceBinsTo(std::int64_t bin);
    void completeCurrentBin();
    void sample(RateKind kind, Recording& recording);
    bool anySampling() const;
    bool historyWanted() const;
    std::int64_t historyWindowPs() const;
    std::size_t slot(std::int64_t bin, int channelIndex) const;

    const int channelCount_;
    const RateConfig config_;

    mutable std::mutex mutex_;
    std::int64_t windowPs_;
    std::chrono::steady_clock::time_point historyWantedUntil_{};
    std::int64_t offsetPs_ = 0;
    std::deque<Recent> recent_;      // events whose coincidence is not settled yet, in time order
    std::vector<Span> gaps_;         // skipped signal on the meter's time line, in time order
    std::int64_t currentBin_ = 0;   // the bin being filled (ms on the meter's time line)
    // Per kind: counts of the current bin, of the last 1000 complete bins (ring), and their sums.
    std::array<std::vector<std::int64_t>, 2> current_;
    std::array<std::vector<std::int64_t>, 2> ring_;
    std::array<std::vector<std::int64_t>, 2> totals_;
    std::array<Recording, 2> recordings_;
};

}  // namespace veltrano::sim
