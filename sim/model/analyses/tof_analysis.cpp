#include "sim/model/analyses/tof_analysis.h"

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/run_averaging.h"

namespace veltrano::sim {

TofAnalysis::TofAnalysis(const TofSettings& settings, const CrossCorrelationConfig& correlation,
                         std::unique_ptr<RecordStore> t3)
    : settings_(settings),
      counts_(Histogram::symmetric(settings.windowPs, powerOfTwoWidth(2 * settings.windowPs, kMaxTofBins))),
      correlation_(settings.windowPs, correlation, 0),
      t3_(std::move(t3)) {}

void TofAnalysis::forget(std::deque<Tag>& tags, std::int64_t beforePs) {
    while (!tags.empty() && tags.front().timePs < beforePs) tags.pop_front();
}

void TofAnalysis::count(std::int64_t differencePs, std::uint32_t startNumber) {
    counts_.add(differencePs);
    correlation_.addDifference(differencePs);
    if (t3_) {
        const auto record = encodeT3Record({startNumber, settings_.startChannel,
                                            static_cast<std::int32_t>(differencePs),
                                            static_cast<std::uint32_t>(settings_.stopChannel)});
        t3_->add(record);
    }
}

void TofAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    const bool isStart = event.channel == settings_.startChannel;
    const bool isStop = event.channel == settings_.stopChannel;
    if (!isStart && !isStop) return;
    const std::int64_t window = settings_.windowPs;
    forget(starts_, timePs - window);
    forget(stops_, timePs - window);
    // Each pair is counted once, when its later event arrives.
    if (isStart && isStop) {
        for (const Tag& earlier : starts_) {
            count(timePs - earlier.timePs, earlier.number);
            count(earlier.timePs - timePs, startNumber_);
        }
    } else if (isStop) {
        for (const Tag& start : starts_) count(timePs - start.timePs, start.number);
    } else {
        for (const Tag& stop : stops_) count(stop.timePs - timePs, startNumber_);
    }
    if (isStart) {
        correlation_.addStart();
        starts_.push_back({timePs, startNumber_++});
    }
    if (isStop) {
        correlation_.addStop();
        if (!isStart) stops_.push_back({timePs, stopNumber_++});
    }
}

void TofAnalysis::clear() {
    counts_.clear();
    correlation_.restart(completePs_);
    clearedPs_ = completePs_;
    if (t3_) t3_->clear();
}

PointList TofAnalysis::processData() const {
    return counts_.points(averagingScale(settings_.durationPs, settings_.avgTimes, completePs_ - clearedPs_));
}

void TofAnalysis::finish() {
    if (t3_) t3_->close();
}

void TofAnalysis::configureCrossCorrelation(const CrossCorrelationConfig& config) {
    correlation_.configure(config, completePs_);
}

PointList TofAnalysis::crossCorrelation() const { return correlation_.curve(completePs_); }

}  // namespace veltrano::sim
