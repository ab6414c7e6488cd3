#include "sim/model/analyses/ncoincidence_analysis.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

NCoincidenceAnalysis::NCoincidenceAnalysis(const std::vector<NCoincidenceStrategy>& strategies,
                                           std::int64_t unitWindowPs, RecordStoreMaker rawMaker)
    : rawMaker_(std::move(rawMaker)) {
    buildCounters(strategies, unitWindowPs);
}

void NCoincidenceAnalysis::buildCounters(const std::vector<NCoincidenceStrategy>& strategies,
                                         std::int64_t unitWindowPs) {
    std::vector<Counter> counters(strategies.size());
    for (std::size_t i = 0; i < strategies.size(); ++i) {
        Counter& c = counters[i];
        c.strategy = strategies[i];
        c.windowPs = strategies[i].virtualTwin * unitWindowPs;
        c.settledPs = completePs_;
        c.historyFromSecond = (completePs_ + kPsPerSecond - 1) / kPsPerSecond;
        if (i < counters_.size()) {
            c.raw = std::move(counters_[i].raw);
        } else if (rawMaker_) {
            c.raw = rawMaker_(i);
        }
    }
    counters_ = std::move(counters);
}

void NCoincidenceAnalysis::replaceStrategies(const std::vector<NCoincidenceStrategy>& strategies,
                                             std::int64_t unitWindowPs) {
    buildCounters(strategies, unitWindowPs);
}

void NCoincidenceAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        Counter& c = counters_[i];
        settle(i, timePs, false);
        const std::vector<int>& channels = c.strategy.channels;
        const auto it = std::find(channels.begin(), channels.end(), event.channel);
        if (it == channels.end()) continue;
        const auto slot = static_cast<std::size_t>(it - channels.begin());
        if (slot == 0) {
            c.references.push_back(timePs);
        } else {
            c.recent.push_back({timePs, slot});
        }
    }
}

void NCoincidenceAnalysis::onComplete(std::int64_t completePs) {
    completePs_ = completePs;
    for (std::size_t i = 0; i < counters_.size(); ++i) settle(i, completePs, false);
}

// Settles the references whose partners have all been seen: those more than
// half a window before the horizon (every reference when `everything`).
void NCoincidenceAnalysis::settle(std::size_t index, std::int64_t horizonPs, bool everything) {
    Counter& c = counters_[index];
    while (!c.references.empty() && (everything || 2 * (horizonPs - c.references.front()) > c.windowPs)) {
        settleOne(index, c.references.front());
        c.references.pop_front();
    }
    c.settledPs = std::max(c.settledPs, everything ? horizonPs : horizonPs - (c.windowPs + 1) / 2);
    // Partners older than half a window before the next reference are of no more use.
    const std::int64_t next = c.references.empty() ? horizonPs : c.references.front();
    while (!c.recent.empty() && 2 * (next - c.recent.front().timePs) > c.windowPs) c.recent.pop_front();
    while (!c.lastSecond.empty() && c.lastSecond.front() <= c.settledPs - kPsPerSecond) c.lastSecond.pop_front();
}

void NCoincidenceAnalysis::settleOne(std::size_t index, std::int64_t referencePs) {
    Counter& c = counters_[index];
    const std::size_t fold = c.strategy.channels.size();
    std::int64_t earliest = referencePs;
    std::int64_t latest = referencePs;
    for (std::size_t slot = 1; slot < fold; ++slot) {
        std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
        for (const Hit& hit : c.recent) {
            const std::int64_t distance = hit.timePs - referencePs;
            if (2 * distance > c.windowPs) break;
            if (hit.slot == slot && 2 * std::abs(distance) <= c.windowPs && std::abs(distance) < std::abs(nearest)) {
                nearest = distance;
            }
        }
        if (nearest == std::numeric_limits<std::int64_t>::max()) return;
        earliest = std::min(earliest, referencePs + nearest);
        latest = std::max(latest, referencePs + nearest);
    }
    ++c.total;
    const auto second = static_cast<std::size_t>(referencePs / kPsPerSecond);
    if (c.perSecond.size() <= second) c.perSecond.resize(second + 1, 0);
    ++c.perSecond[second];
    c.lastSecond.push_back(referencePs);
    if (c.raw) {
        c.raw->add(encodeNCoincidenceRecord({referencePs, static_cast<std::int32_t>(index), latest - earliest,
                                             static_cast<std::int32_t>(fold), c.number}));
    }
    ++c.number;
}

void NCoincidenceAnalysis::clear() {
    for (Counter& c : counters_) {
        c.total = 0;
        c.perSecond.clear();
        c.lastSecond.clear();
        c.historyFromSecond = (completePs_ + kPsPerSecond - 1) / kPsPerSecond;
        if (c.raw) c.raw->clear();
    }
}

PointList NCoincidenceAnalysis::processData() const {
    PointList points;
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        points.push_back({static_cast<double>(i), static_cast<double>(counters_[i].total)});
    }
    return points;
}

void NCoincidenceAnalysis::finish() {
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        settle(i, completePs_, true);
        if (counters_[i].raw) counters_[i].raw->close();
    }
}

std::int64_t NCoincidenceAnalysis::currentCps(std::size_t index) const {
    return static_cast<std::int64_t>(counters_.at(index).lastSecond.size());
}

PointList NCoincidenceAnalysis::cpsHistory(std::size_t index) const {
    const Counter& c = counters_.at(index);
    PointList points;
    const std::int64_t completeSeconds = c.settledPs / kPsPerSecond;
    for (std::int64_t s = c.historyFromSecond; s < completeSeconds; ++s) {
        const auto k = static_cast<std::size_t>(s);
        points.push_back({static_cast<double>(s + 1), static_cast<double>(k < c.perSecond.size() ? c.perSecond[k] : 0)});
    }
    return points;
}

std::vector<std::uint8_t> NCoincidenceAnalysis::takeRawPayload(std::size_t index) {
    if (index < counters_.size() && counters_[index].raw) return counters_[index].raw->takePayload();
    return std::vector<std::uint8_t>(4, 0);
}

}  // namespace veltrano::sim
