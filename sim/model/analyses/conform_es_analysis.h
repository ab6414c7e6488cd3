#pragma once

#include <cstdint>
#include <deque>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/histogram.h"
#include "sim/model/analyses/widening_histogram.h"

namespace veltrano::sim {

// An inclusive range of scaled pulse areas (ADC units).
struct EnergyWindow {
    std::int64_t min = 0;
    std::int64_t max = 0;
    bool contains(std::int64_t value) const { return value >= min && value <= max; }
};

struct ConformEsSettings {
    int channel1 = 1;              // "ch1"
    int channel2 = 3;              // "ch2", another A/D channel
    int integrationPoints1 = 64;  // samples integrated on channel 1
    int integrationPoints2 = 64;  // and on channel 2
    std::int64_t areaScale = 1;   // "area_scale"
    EnergyWindow window1;          // "energy_window_min1" .. "energy_window_max1", channel 1
    EnergyWindow window2;          // "energy_window_min2" .. "energy_window_max2", channel 2
    std::int64_t windowPs = 1000;  // "coins_time_window": pulses within +-window coincide
    std::int64_t avgTimes = 1;    // "avg_times": the duration split into this many averaged runs
    std::int64_t durationPs = 0;
};

// Coincidence-gated energy analysis of two A/D channels. A pulse takes part only
// when its scaled area lies inside its channel's energy window; each pair of
// such pulses, one per channel, within +-window of each other (all pairs, not
// only the nearest) is one coincidence. A coincidence counts its time difference
// (channel 2 minus channel 1, ps) in the time-difference histogram (bins as the
// time-of-flight histogram's) and each pulse's area in its channel's spectrum:
// area 1 holds the lower-numbered channel, area 2 the higher. All three are
// averaged over avg_times as the time-of-flight histogram is.
class ConformEsAnalysis final : public AnalysisRun {
public:
    explicit ConformEsAnalysis(const ConformEsSettings& settings);

    AnalysisKind kind() const override { return AnalysisKind::ConformEnergySpectrum; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t completePs) override { completePs_ = completePs; }
    void clear() override;
    // The time-difference histogram (bin centre ps, counts).
    PointList processData() const override;
    void finish() override {}

    // The spectra (lower bin edge, counts) of the lower and the higher channel.
    PointList area1Data() const;
    PointList area2Data() const;

private:
    struct Pulse {
        std::int64_t timePs;
        std::int32_t area;
    };

    void count(std::int64_t differencePs, std::int32_t area1, std::int32_t area2);
    double scale() const;

    ConformEsSettings settings_;
    Histogram differences_;
    WideningHistogram lower_;
    WideningHistogram higher_;
    std::deque<Pulse> pulses1_;  // accepted pulses of channel 1 within the window of the latest
    std::deque<Pulse> pulses2_;
    std::int64_t clearedPs_ = 0;
    std::int64_t completePs_ = 0;
};

}  // namespace veltrano::sim
