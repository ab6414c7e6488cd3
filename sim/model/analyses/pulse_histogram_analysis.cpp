#include "sim/model/analyses/pulse_histogram_analysis.h"

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

PulseHistogramAnalysis::PulseHistogramAnalysis(AnalysisKind kind, int channel, Measure measure,
                                               std::unique_ptr<RecordStore> records)
    : kind_(kind), channel_(channel), measure_(std::move(measure)), records_(std::move(records)) {}

void PulseHistogramAnalysis::onEvent(const Event& event, std::int64_t) {
    if (event.channel != channel_) return;
    const std::int32_t value = measure_(event);
    histogram_.add(value);
    if (records_) records_->add(encodePulseRecord({value, number_}));
    ++number_;
}

void PulseHistogramAnalysis::clear() {
    histogram_.clear();
    if (records_) records_->clear();
}

void PulseHistogramAnalysis::finish() {
    if (records_) records_->close();
}

}  // namespace veltrano::sim
