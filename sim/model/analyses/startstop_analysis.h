#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/histogram.h"
#include "sim/model/analyses/record_store.h"

namespace veltrano::sim {

// A start channel with its stop channels ("chan_groups") and, optionally, its
// dual stops ("dual_stops_groups": an x stop and a y stop).
struct StartStopGroup {
    int startChannel = 1;
    std::vector<int> stopChannels;
    std::optional<std::pair<int, int>> dualStops;
};

struct StartStopSettings {
    std::vector<StartStopGroup> groups;  // one per start channel
    std::int64_t windowPs = 10000;      // "coins_time_window"
};

// The start-stop histograms hold at most this many bins.
inline constexpr std::int64_t kMaxStartStopBins = 4096;
// Dual-stop pairs kept per start channel until fetched; later ones are dropped.
inline constexpr std::size_t kMaxKeptDualPairs = 1 << 20;

// Start-stop: for each start event, the first event of each of its stop
// channels within [start, start + window) makes one count in that (start, stop)
// histogram (bins [k w, (k + 1) w) of a power-of-two width w) and, with T3
// records, one record. A start channel with dual stops also yields the pair
// (x stop difference, y stop difference) when both stops came within the window.
class StartStopAnalysis final : public AnalysisRun {
public:
    // t3 may be null (no records kept).
    StartStopAnalysis(StartStopSettings settings, std::unique_ptr<RecordStore> t3);

    AnalysisKind kind() const override { return AnalysisKind::StartStop; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t completePs) override { settleBefore(completePs - settings_.windowPs + 1); }
    void clear() override;
    // The histograms of every (start, stop) pair added up.
    PointList processData() const override;
    void finish() override;

    // Empty when the pair is not part of the run.
    PointList histogram(int startChannel, int stopChannel) const;
    // The mean of the start channel's stop histograms.
    PointList average(int startChannel) const;
    // The dual-stop pairs produced since the last take.
    PointList takeDualPairs(int startChannel);
    RecordStore* t3Records() { return t3_.get(); }

private:
    struct Group {
        StartStopGroup setup;
        std::vector<Histogram> histograms;  // one per stop channel
        PointList dualPairs;
        std::uint32_t starts = 0;
    };
    struct PendingStart {
        std::int64_t timePs;
        std::size_t group;
        std::uint32_t number;
        std::vector<bool> stopped;  // per stop channel: its first stop was counted
        std::optional<std::int64_t> xPs;
        std::optional<std::int64_t> yPs;
    };

    void settleBefore(std::int64_t startBeforePs);
    void offerStop(PendingStart& pending, int channel, std::int64_t timePs);
    // The group of the start channel; groups_.size() when there is none.
    std::size_t groupIndex(int startChannel) const;

    StartStopSettings settings_;
    std::vector<Group> groups_;
    std::deque<PendingStart> pending_;  // in time order
    std::unique_ptr<RecordStore> t3_;
};

}  // namespace veltrano::sim
