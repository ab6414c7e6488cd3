#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/record_store.h"

namespace veltrano::sim {

struct AutocorrelationSettings {
    int channel = 1;          // "ch"
    double minTauPs = 0;    // "min_tau", here in ps
    double maxTauPs = 1e5;  // "max_tau", here in ps; above minTauPs
    std::int64_t bins = 100;  // "bin_num"
};

// Autocorrelation of one channel: every pair of distinct events of the channel
// (all pairs, not only neighbours) counts its delay d at +d and at -d, in
// bin_num linear bins of width w = (max_tau - min_tau) / bin_num from min_tau.
// The curve is normalised by the pairs a Poisson process of the same count
// would give: g2 = C / (N^2 w (T - |tau|) / T^2) with N events in the time T
// covered since the start (or the last clearing) and tau the bin's centre, so
// uncorrelated events sit at 1. With T2 records, one record per event.
class AutocorrelationAnalysis final : public AnalysisRun {
public:
    // t2 may be null (no records kept).
    AutocorrelationAnalysis(const AutocorrelationSettings& settings, std::unique_ptr<RecordStore> t2);

    AnalysisKind kind() const override { return AnalysisKind::Autocorrelation; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t completePs) override { completePs_ = completePs; }
    void clear() override;
    // The pair counts per bin (bin centre ps, count).
    PointList processData() const override;
    void finish() override;

    // (bin centre s, g2); empty before the channel counted an event.
    PointList curve() const;
    RecordStore* t2Records() { return t2_.get(); }

private:
    void countDelay(double delayPs);
    double binCentrePs(std::size_t bin) const;

    AutocorrelationSettings settings_;
    double widthPs_;
    double reachPs_;  // the longest delay any bin holds
    std::vector<std::int64_t> counts_;
    std::deque<std::int64_t> recent_;  // tags within reach of the latest
    std::int64_t events_ = 0;
    std::int64_t clearedPs_ = 0;
    std::int64_t completePs_ = 0;
    std::unique_ptr<RecordStore> t2_;
};

}  // namespace veltrano::sim
