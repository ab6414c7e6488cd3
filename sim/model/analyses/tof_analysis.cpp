#include "sim/model/analyses/tof_analysis.h"

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/run_averaging.h"

namespace veltrano::sim {

TofAnalysis::TofAnalysis(const TofSettings& settings, const CrossCorrelationConfig& correlation,
                         std::unique_ptr<RecordStore> t3)
    : settings_(settings),
      counts_(Histogram::symmetric(settings.window_ps, powerOfTwoWidth(2 * settings.window_ps, kMaxTofBins))),
      correlation_(settings.window_ps, correlation, 0),
      t3_(std::move(t3)) {}

void TofAnalysis::forget(std::deque<Tag>& tags, std::int64_t before_ps) {
    while (!tags.empty() && tags.front().time_ps < before_ps) tags.pop_front();
}

void TofAnalysis::count(std::int64_t difference_ps, std::uint32_t start_number) {
    counts_.add(difference_ps);
    correlation_.addDifference(difference_ps);
    if (t3_) {
        const auto record = encodeT3Record({start_number, settings_.start_channel,
                                            static_cast<std::int32_t>(difference_ps),
                                            static_cast<std::uint32_t>(settings_.stop_channel)});
        t3_->add(record);
    }
}

void TofAnalysis::onEvent(const Event& event, std::int64_t time_ps) {
    const bool is_start = event.channel == settings_.start_channel;
    const bool is_stop = event.channel == settings_.stop_channel;
    if (!is_start && !is_stop) return;
    const std::int64_t window = settings_.window_ps;
    forget(starts_, time_ps - window);
    forget(stops_, time_ps - window);
    // Each pair is counted once, when its later event arrives.
    if (is_start && is_stop) {
        for (const Tag& earlier : starts_) {
            count(time_ps - earlier.time_ps, earlier.number);
            count(earlier.time_ps - time_ps, start_number_);
        }
    } else if (is_stop) {
        for (const Tag& start : starts_) count(time_ps - start.time_ps, start.number);
    } else {
        for (const Tag& stop : stops_) count(stop.time_ps - time_ps, start_number_);
    }
    if (is_start) {
        correlation_.addStart();
        starts_.push_back({time_ps, start_number_++});
    }
    if (is_stop) {
        correlation_.addStop();
        if (!is_start) stops_.push_back({time_ps, stop_number_++});
    }
}

void TofAnalysis::clear() {
    counts_.clear();
    correlation_.restart(complete_ps_);
    cleared_ps_ = complete_ps_;
    if (t3_) t3_->clear();
}

PointList TofAnalysis::processData() const {
    return counts_.points(averagingScale(settings_.duration_ps, settings_.avg_times, complete_ps_ - cleared_ps_));
}

void TofAnalysis::finish() {
    if (t3_) t3_->close();
}

void TofAnalysis::configureCrossCorrelation(const CrossCorrelationConfig& config) {
    correlation_.configure(config, complete_ps_);
}

PointList TofAnalysis::crossCorrelation() const { return correlation_.curve(complete_ps_); }

}  // namespace veltrano::sim
