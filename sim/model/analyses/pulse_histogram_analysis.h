#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/record_store.h"
#include "sim/model/analyses/widening_histogram.h"

namespace veltrano::sim {

// One value measured on every pulse of one channel, histogrammed: the
// time-over-threshold analysis (the pulse width in ps) and the energy-spectrum
// analysis (the scaled pulse area). With records, one PulseRecord per pulse
// (the value and the pulse's number among the channel's pulses in the run).
class PulseHistogramAnalysis final : public AnalysisRun {
public:
    using Measure = std::function<std::int32_t(const Event&)>;

    // records may be null (none kept).
    PulseHistogramAnalysis(AnalysisKind kind, int channel, Measure measure, std::unique_ptr<RecordStore> records);

    AnalysisKind kind() const override { return kind_; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t) override {}
    void clear() override;
    // (lower edge, count) of the bins holding counts.
    PointList processData() const override { return histogram_.points(); }
    void finish() override;

    RecordStore* records() { return records_.get(); }

private:
    AnalysisKind kind_;
    int channel_;
    Measure measure_;
    std::unique_ptr<RecordStore> records_;
    WideningHistogram histogram_;
    std::uint32_t number_ = 0;
};

}  // namespace veltrano::sim
