#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/cross_correlation.h"
#include "sim/model/analyses/histogram.h"
#include "sim/model/analyses/record_store.h"

namespace veltrano::sim {

struct TofSettings {
    int startChannel = 1;            // "ch1"
    int stopChannel = 2;             // "ch2"
    std::int64_t windowPs = 10000;   // "coins_time_window": differences within +-window
    std::int64_t avgTimes = 1;       // the duration split into this many averaged runs
    std::int64_t durationPs = 0;
};

// The time-of-flight histogram holds at most about this many bins.
inline constexpr std::int64_t kMaxTofBins = 4096;

// Time of flight: every stop-minus-start difference within +-window (all pairs,
// not only the nearest), histogrammed in bins of a power-of-two width, and the
// g2 cross-correlation of the two channels. The histogram answers the mean
// counts per averaging run: counts x (duration / avg_times) / time covered.
// With T3 records, one record per pair.
class TofAnalysis final : public AnalysisRun {
public:
    // t3 may be null (no records kept).
    TofAnalysis(const TofSettings& settings, const CrossCorrelationConfig& correlation,
                std::unique_ptr<RecordStore> t3);

    AnalysisKind kind() const override { return AnalysisKind::TimeOfFlight; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t completePs) override { completePs_ = completePs; }
    void clear() override;
    PointList processData() const override;
    void finish() override;

    void configureCrossCorrelation(const CrossCorrelationConfig& config);
    PointList crossCorrelation() const;
    RecordStore* t3Records() { return t3_.get(); }

private:
    struct Tag {
        std::int64_t timePs;
        std::uint32_t number;  // among its channel's events in the run
    };

    void count(std::int64_t differencePs, std::uint32_t startNumber);
    static void forget(std::deque<Tag>& tags, std::int64_t beforePs);

    TofSettings settings_;
    Histogram counts_;
    CrossCorrelation correlation_;
    std::unique_ptr<RecordStore> t3_;
    std::deque<Tag> starts_;
    std::deque<Tag> stops_;
    std::uint32_t startNumber_ = 0;
    std::uint32_t stopNumber_ = 0;
    std::int64_t clearedPs_ = 0;
    std::int64_t completePs_ = 0;
};

}  // namespace veltrano::sim
