#include "sim/model/analyses/startstop_analysis.h"

#include <algorithm>
#include <limits>

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

StartStopAnalysis::StartStopAnalysis(StartStopSettings settings, std::unique_ptr<RecordStore> t3)
    : settings_(std::move(settings)), t3_(std::move(t3)) {
    const std::int64_t width = powerOfTwoWidth(settings_.windowPs, kMaxStartStopBins);
    for (const StartStopGroup& setup : settings_.groups) {
        Group g{setup, {}, {}, 0};
        g.histograms.assign(setup.stopChannels.size(), Histogram::fromZero(settings_.windowPs, width));
        groups_.push_back(std::move(g));
    }
}

void StartStopAnalysis::offerStop(PendingStart& pending, int channel, std::int64_t timePs) {
    Group& g = groups_[pending.group];
    const std::int64_t difference = timePs - pending.timePs;
    const std::vector<int>& stops = g.setup.stopChannels;
    for (std::size_t k = 0; k < stops.size(); ++k) {
        if (stops[k] != channel || pending.stopped[k]) continue;
        pending.stopped[k] = true;
        g.histograms[k].add(difference);
        if (t3_) {
            t3_->add(encodeT3Record({pending.number, g.setup.startChannel, static_cast<std::int32_t>(difference),
                                     static_cast<std::uint32_t>(channel)}));
        }
    }
    if (g.setup.dualStops) {
        if (g.setup.dualStops->first == channel && !pending.xPs) pending.xPs = difference;
        if (g.setup.dualStops->second == channel && !pending.yPs) pending.yPs = difference;
    }
}

void StartStopAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    settleBefore(timePs - settings_.windowPs + 1);
    for (PendingStart& pending : pending_) offerStop(pending, event.channel, timePs);
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        Group& g = groups_[i];
        if (g.setup.startChannel != event.channel) continue;
        pending_.push_back({timePs, i, g.starts++, std::vector<bool>(g.setup.stopChannels.size(), false),
                            std::nullopt, std::nullopt});
    }
}

void StartStopAnalysis::settleBefore(std::int64_t startBeforePs) {
    while (!pending_.empty() && pending_.front().timePs < startBeforePs) {
        const PendingStart& p = pending_.front();
        Group& g = groups_[p.group];
        if (p.xPs && p.yPs && g.dualPairs.size() < kMaxKeptDualPairs) {
            g.dualPairs.push_back({static_cast<double>(*p.xPs), static_cast<double>(*p.yPs)});
        }
        pending_.pop_front();
    }
}

void StartStopAnalysis::clear() {
    for (Group& g : groups_) {
        for (Histogram& h : g.histograms) h.clear();
        g.dualPairs.clear();
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

std::size_t StartStopAnalysis::groupIndex(int startChannel) const {
    const auto it = std::find_if(groups_.begin(), groups_.end(),
                                 [startChannel](const Group& g) { return g.setup.startChannel == startChannel; });
    return static_cast<std::size_t>(it - groups_.begin());
}

PointList StartStopAnalysis::histogram(int startChannel, int stopChannel) const {
    const std::size_t index = groupIndex(startChannel);
    if (index == groups_.size()) return {};
    const Group* g = &groups_[index];
    const std::vector<int>& stops = g->setup.stopChannels;
    const auto it = std::find(stops.begin(), stops.end(), stopChannel);
    if (it == stops.end()) return {};
    return g->histograms[static_cast<std::size_t>(it - stops.begin())].points();
}

PointList StartStopAnalysis::average(int startChannel) const {
    const std::size_t index = groupIndex(startChannel);
    if (index == groups_.size() || groups_[index].histograms.empty()) return {};
    const Group* g = &groups_[index];
    PointList mean = g->histograms.front().points(0.0);
    for (const Histogram& h : g->histograms) {
        for (std::size_t i = 0; i < mean.size(); ++i) mean[i].y += static_cast<double>(h.count(i));
    }
    for (Point& p : mean) p.y /= static_cast<double>(g->histograms.size());
    return mean;
}

PointList StartStopAnalysis::takeDualPairs(int startChannel) {
    const std::size_t index = groupIndex(startChannel);
    if (index == groups_.size()) return {};
    PointList pairs;
    pairs.swap(groups_[index].dualPairs);
    return pairs;
}

}  // namespace veltrano::sim
