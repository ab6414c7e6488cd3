#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/widening_histogram.h"
#include "sim/model/analyses/stability_deviation.h"

namespace veltrano::sim {

struct PeriodSettings {
    int channel = 16;        // the clock source's channel
    double fnomHz = 1e5;    // "fnom_hz": the nominal frequency the fractional frequency is taken against
    int decades = 1;         // "decades"
    int decadePoints = 1;   // "decade_points"
};

// Raw periods kept unfetched; later ones are dropped.
inline constexpr std::size_t kMaxKeptPeriodPoints = 1 << 20;
// Cycles the deviations cover at most, from the start (or the last clearing).
inline constexpr std::size_t kMaxStabilityCycles = 1 << 22;

// What the deviations are computed from, copied out so that the work runs
// outside the analysis runner's lock.
struct StabilityInput {
    std::vector<double> fractionalFrequency;  // one per cycle
    double tau0S = 0;                          // 1 / fnom_hz
    std::vector<std::int64_t> factors;          // averaging factors of the run's taus
};

// Period analysis of the clock source: each cycle between two clock ticks on
// the clock channel gives a raw point (cycle index, period ps), a histogram
// count and a fractional frequency y = 1 / (period x fnom) - 1 for the
// stability deviations. Other events on that channel end no cycle. A gap of
// about k periods (ticks lost to the channel's dead time or threshold) is one
// raw point and one count of the whole gap, k cycles of gap / k for the
// deviations, and advances the cycle index by k.
class PeriodAnalysis final : public AnalysisRun {
public:
    explicit PeriodAnalysis(const PeriodSettings& settings);

    AnalysisKind kind() const override { return AnalysisKind::Period; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t) override {}
    void clear() override;
    // The period histogram.
    PointList processData() const override { return histogram_.points(); }
    void finish() override {}

    // (cycle index, period ps) produced since the last take.
    PointList takeRawPoints() override;
    StabilityInput stabilityInput() const;

private:
    PeriodSettings settings_;
    WideningHistogram histogram_;
    PointList raw_;
    std::vector<double> frequency_;
    std::optional<std::int64_t> lastTickPs_;
    double cyclePs_ = 0;       // the latest cycle's period, to tell lost ticks
    std::int64_t cycleIndex_ = 0;
};

// The deviation curve of `metric`: (tau s, deviation) over the run's taus.
PointList stabilityMetric(const StabilityInput& input, StabilityMetric metric);

}  // namespace veltrano::sim
