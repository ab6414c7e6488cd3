#include "sim/model/analyses/startstop_analysis.h"

#include <algorithm>
#include <limits>

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

StartStopAnalysis::StartStopAnalysis(StartStopSettings settings, std::unique_ptr<RecordStore> t3)
    : settings_(std::move(settings)), t3_(std::move(t3)) {
    const std::int64_t width = powerOfTwoWidth(settings_.window_ps, kMaxStartStopBins);
    for (const StartStopGroup& setup : settings_.groups) {
        Group g{setup, {}, {}, 0};
        g.histograms.assign(setup.stop_channels.size(), Histogram::fromZero(settings_.window_ps, width));
        groups_.push_back(std::move(g));
    }
}

void StartStopAnalysis::offerStop(PendingStart& pending, int channel, std::int64_t time_ps) {
    Group& g = groups_[pending.group];
    const std::int64_t difference = time_ps - pending.time_ps;
    const std::vector<int>& stops = g.setup.stop_channels;
    for (std::size_t k = 0; k < stops.size(); ++k) {
        if (stops[k] != channel || pending.stopped[k]) continue;
        pending.stopped[k] = true;
        g.histograms[k].add(difference);
        if (t3_) {
            t3_->add(encodeT3Record({pending.number, g.setup.start_channel, static_cast<std::int32_t>(difference),
                                     static_cast<std::uint32_t>(channel)}));
        }
    }
    if (g.setup.dual_stops) {
        if (g.setup.dual_stops->first == channel && !pending.x_ps) pending.x_ps = difference;
        if (g.setup.dual_stops->second == channel && !pending.y_ps) pending.y_ps = difference;
    }
}

void StartStopAnalysis::onEvent(const Event& event, std::int64_t time_ps) {
    settleBefore(time_ps - settings_.window_ps + 1);
    for (PendingStart& pending : pending_) offerStop(pending, event.channel, time_ps);
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        Group& g = groups_[i];
        if (g.setup.start_channel != event.channel) continue;
        pending_.push_back({time_ps, i, g.starts++, std::vector<bool>(g.setup.stop_channels.size(), false),
                            std::nullopt, std::nullopt});
    }
}

void StartStopAnalysis::settleBefore(std::int64_t start_before_ps) {
    while (!pending_.empty() && pending_.front().time_ps < start_before_ps) {
        const PendingStart& p = pending_.front();
        Group& g = groups_[p.group];
        if (p.x_ps && p.y_ps && g.dual_pairs.size() < kMaxKeptDualPairs) {
            g.dual_pairs.push_back({static_cast<double>(*p.x_ps), static_cast<double>(*p.y_ps)});
        }
        pending_.pop_front();
    }
}

void StartStopAnalysis::clear() {
    for (Group& g : groups_) {
        for (Histogram& h : g.histograms) h.clear();
        g.dual_pairs.clear();
    }
    if (t3_) t3_->clear();
}

PointList StartStopAnalysis::processData() const {
    PointList sum;
    for (const Group& g : groups_) {
        for (const Histogram& h : g.histograms) {
            PointList points = h.points();
            if (sum.empty()) {
                sum = std::move(points);
                continue;
            }
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i].y += points[i].y;
        }
    }
    return sum;
}

void StartStopAnalysis::finish() {
    settleBefore(std::numeric_limits<std::int64_t>::max());
    if (t3_) t3_->close();
}

std::size_t StartStopAnalysis::groupIndex(int start_channel) const {
    const auto it = std::find_if(groups_.begin(), groups_.end(),
                                 [&](const Group& g) { return g.setup.start_channel == start_channel; });
    return static_cast<std::size_t>(it - groups_.begin());
}

PointList StartStopAnalysis::histogram(int start_channel, int stop_channel) const {
    const std::size_t index = groupIndex(start_channel);
    if (index == groups_.size()) return {};
    const Group* g = &groups_[index];
    const std::vector<int>& stops = g->setup.stop_channels;
    const auto it = std::find(stops.begin(), stops.end(), stop_channel);
    if (it == stops.end()) return {};
    return g->histograms[static_cast<std::size_t>(it - stops.begin())].points();
}

PointList StartStopAnalysis::average(int start_channel) const {
    const std::size_t index = groupIndex(start_channel);
    if (index == groups_.size() || groups_[index].histograms.empty()) return {};
    const Group* g = &groups_[index];
    PointList mean = g->histograms.front().points(0.0);
    for (const Histogram& h : g->histograms) {
        for (std::size_t i = 0; i < mean.size(); ++i) mean[i].y += static_cast<double>(h.count(i));
    }
    for (Point& p : mean) p.y /= static_cast<double>(g->histograms.size());
    return mean;
}

PointList StartStopAnalysis::takeDualPairs(int start_channel) {
    const std::size_t index = groupIndex(start_channel);
    if (index == groups_.size()) return {};
    PointList pairs;
    pairs.swap(groups_[index].dual_pairs);
    return pairs;
}

}  // namespace veltrano::sim
