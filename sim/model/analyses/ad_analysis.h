#pragma once

#include <cstdint>
#include <deque>

#include "sim/model/analyses/analysis_run.h"

namespace veltrano::sim {

struct AdSettings {
    int channel = 1;                 // "ch", an A/D (odd) channel
    int integrationPoints = 64;     // "ad_integration_point": samples recorded per pulse
    std::int64_t samplingNum = 1024;  // "sampling_num": samples handed out per fetch at most
};

// Samples kept unfetched; a pulse whose samples would not fit is dropped whole.
inline constexpr std::size_t kMaxKeptAdSamples = 1 << 20;

// A/D sampling of one channel: a triggered digitiser. Each pulse on the channel
// opens a window of integrationPoints samples from the first sampling point at
// or after its trigger (sampling point n lies at n x kAdcSamplePs on the run's
// time line); the samples carry the pulse's ADC codes (adc_pulse.h). A pulse that
// comes while a window is open opens none (the digitiser is busy), and nothing
// between windows is recorded. The raw points are (sampling point, ADC code) in
// time order, at most sampling_num per take.
class AdAnalysis final : public AnalysisRun {
public:
    explicit AdAnalysis(const AdSettings& settings) : settings_(settings) {}

    AnalysisKind kind() const override { return AnalysisKind::AD; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t) override {}
    void clear() override { samples_.clear(); }
    // The A/D analysis streams raw points only.
    PointList processData() const override { return {}; }
    void finish() override {}
    PointList takeRawPoints() override;

    std::uint64_t droppedPulses() const { return droppedPulses_; }

private:
    AdSettings settings_;
    std::deque<Point> samples_;
    std::int64_t busyUntilPs_ = 0;
    std::uint64_t droppedPulses_ = 0;
};

}  // namespace veltrano::sim
