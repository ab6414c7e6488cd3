#include "sim/model/analyses/autocorrelation_analysis.h"

#include <algorithm>
#include <cmath>

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

AutocorrelationAnalysis::AutocorrelationAnalysis(const AutocorrelationSettings& settings,
                                                 std::unique_ptr<RecordStore> t2)
    : settings_(settings),
      widthPs_((settings.maxTauPs - settings.minTauPs) / static_cast<double>(settings.bins)),
      reachPs_(std::max(std::fabs(settings.minTauPs), std::fabs(settings.maxTauPs))),
      counts_(static_cast<std::size_t>(settings.bins), 0),
      t2_(std::move(t2)) {}

void AutocorrelationAnalysis::countDelay(double delayPs) {
    const double position = std::floor((delayPs - settings_.minTauPs) / widthPs_);
    if (position >= 0 && position < static_cast<double>(counts_.size())) ++counts_[static_cast<std::size_t>(position)];
}

void AutocorrelationAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    if (event.channel != settings_.channel) return;
    while (!recent_.empty() && static_cast<double>(timePs - recent_.front()) > reachPs_) recent_.pop_front();
    for (std::int64_t earlier : recent_) {
        const auto delay = static_cast<double>(timePs - earlier);
        countDelay(delay);
        countDelay(-delay);
    }
    recent_.push_back(timePs);
    ++events_;
    if (t2_) t2_->add(encodeT2Record({event.channel, timePs}));
}

void AutocorrelationAnalysis::clear() {
    std::fill(counts_.begin(), counts_.end(), 0);
    // Pairs reaching back before the clearing would count without their
    // earlier event in N: start afresh.
    recent_.clear();
    events_ = 0;
    clearedPs_ = completePs_;
    if (t2_) t2_->clear();
}

double AutocorrelationAnalysis::binCentrePs(std::size_t bin) const {
    return settings_.minTauPs + (static_cast<double>(bin) + 0.5) * widthPs_;
}

PointList AutocorrelationAnalysis::processData() const {
    PointList out;
    out.reserve(counts_.size());
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        out.push_back({binCentrePs(i), static_cast<double>(counts_[i])});
    }
    return out;
}

PointList AutocorrelationAnalysis::curve() const {
    PointList out;
    if (events_ == 0) return out;
    const auto covered = static_cast<double>(completePs_ - clearedPs_);
    const auto n = static_cast<double>(events_);
    out.reserve(counts_.size());
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const double tau = binCentrePs(i);
        // The pairs a Poisson process of N events in T puts into the bin.
        const double overlap = covered - std::fabs(tau);
        const double expected = overlap > 0 ? n * n * widthPs_ * overlap / (covered * covered) : 0.0;
        const double g2 = expected > 0 ? static_cast<double>(counts_[i]) / expected : 0.0;
        out.push_back({tau * 1e-12, g2});
    }
    return out;
}

void AutocorrelationAnalysis::finish() {
    if (t2_) t2_->close();
}

}  // namespace veltrano::sim
