#include "sim/model/analyses/ncoincidence_analysis.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "sim/model/analyses/analysis_records.h"

namespace veltrano::sim {

NCoincidenceAnalysis::NCoincidenceAnalysis(const std::vector<NCoincidenceStrategy>& strategies,
                                           std::int64_t unit_window_ps, RecordStoreMaker raw_maker)
    : raw_maker_(std::move(raw_maker)) {
    buildCounters(strategies, unit_window_ps);
}

void NCoincidenceAnalysis::buildCounters(const std::vector<NCoincidenceStrategy>& strategies,
                                         std::int64_t unit_window_ps) {
    std::vector<Counter> counters(strategies.size());
    for (std::size_t i = 0; i < strategies.size(); ++i) {
        Counter& c = counters[i];
        c.strategy = strategies[i];
        c.window_ps = strategies[i].virtual_twin * unit_window_ps;
        c.settled_ps = complete_ps_;
        c.history_from_second = (complete_ps_ + kPsPerSecond - 1) / kPsPerSecond;
        if (i < counters_.size()) {
            c.raw = std::move(counters_[i].raw);
        } else if (raw_maker_) {
            c.raw = raw_maker_(i);
        }
    }
    counters_ = std::move(counters);
}

void NCoincidenceAnalysis::replaceStrategies(const std::vector<NCoincidenceStrategy>& strategies,
                                             std::int64_t unit_window_ps) {
    buildCounters(strategies, unit_window_ps);
}

void NCoincidenceAnalysis::onEvent(const Event& event, std::int64_t time_ps) {
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        Counter& c = counters_[i];
        settle(i, time_ps, false);
        const std::vector<int>& channels = c.strategy.channels;
        const auto it = std::find(channels.begin(), channels.end(), event.channel);
        if (it == channels.end()) continue;
        const auto slot = static_cast<std::size_t>(it - channels.begin());
        if (slot == 0) {
            c.references.push_back(time_ps);
        } else {
            c.recent.push_back({time_ps, slot});
        }
    }
}

void NCoincidenceAnalysis::onComplete(std::int64_t complete_ps) {
    complete_ps_ = complete_ps;
    for (std::size_t i = 0; i < counters_.size(); ++i) settle(i, complete_ps, false);
}

// Settles the references whose partners have all been seen: those more than
// half a window before the horizon (every reference when `everything`).
void NCoincidenceAnalysis::settle(std::size_t index, std::int64_t horizon_ps, bool everything) {
    Counter& c = counters_[index];
    while (!c.references.empty() && (everything || 2 * (horizon_ps - c.references.front()) > c.window_ps)) {
        settleOne(index, c.references.front());
        c.references.pop_front();
    }
    c.settled_ps = std::max(c.settled_ps, everything ? horizon_ps : horizon_ps - (c.window_ps + 1) / 2);
    // Partners older than half a window before the next reference are of no more use.
    const std::int64_t next = c.references.empty() ? horizon_ps : c.references.front();
    while (!c.recent.empty() && 2 * (next - c.recent.front().time_ps) > c.window_ps) c.recent.pop_front();
    while (!c.last_second.empty() && c.last_second.front() <= c.settled_ps - kPsPerSecond) c.last_second.pop_front();
}

void NCoincidenceAnalysis::settleOne(std::size_t index, std::int64_t reference_ps) {
    Counter& c = counters_[index];
    const std::size_t fold = c.strategy.channels.size();
    std::int64_t earliest = reference_ps;
    std::int64_t latest = reference_ps;
    for (std::size_t slot = 1; slot < fold; ++slot) {
        std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
        for (const Hit& hit : c.recent) {
            const std::int64_t distance = hit.time_ps - reference_ps;
            if (2 * distance > c.window_ps) break;
            if (hit.slot == slot && 2 * std::abs(distance) <= c.window_ps && std::abs(distance) < std::abs(nearest)) {
                nearest = distance;
            }
        }
        if (nearest == std::numeric_limits<std::int64_t>::max()) return;
        earliest = std::min(earliest, reference_ps + nearest);
        latest = std::max(latest, reference_ps + nearest);
    }
    ++c.total;
    const auto second = static_cast<std::size_t>(reference_ps / kPsPerSecond);
    if (c.per_second.size() <= second) c.per_second.resize(second + 1, 0);
    ++c.per_second[second];
    c.last_second.push_back(reference_ps);
    if (c.raw) {
        c.raw->add(encodeNCoincidenceRecord({reference_ps, static_cast<std::int32_t>(index), latest - earliest,
                                             static_cast<std::int32_t>(fold), c.number}));
    }
    ++c.number;
}

void NCoincidenceAnalysis::clear() {
    for (Counter& c : counters_) {
        c.total = 0;
        c.per_second.clear();
        c.last_second.clear();
        c.history_from_second = (complete_ps_ + kPsPerSecond - 1) / kPsPerSecond;
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
        settle(i, complete_ps_, true);
        if (counters_[i].raw) counters_[i].raw->close();
    }
}

std::int64_t NCoincidenceAnalysis::currentCps(std::size_t index) const {
    return static_cast<std::int64_t>(counters_.at(index).last_second.size());
}

PointList NCoincidenceAnalysis::cpsHistory(std::size_t index) const {
    const Counter& c = counters_.at(index);
    PointList points;
    const std::int64_t complete_seconds = c.settled_ps / kPsPerSecond;
    for (std::int64_t s = c.history_from_second; s < complete_seconds; ++s) {
        const auto k = static_cast<std::size_t>(s);
        points.push_back({static_cast<double>(s + 1), static_cast<double>(k < c.per_second.size() ? c.per_second[k] : 0)});
    }
    return points;
}

std::vector<std::uint8_t> NCoincidenceAnalysis::takeRawPayload(std::size_t index) {
    if (index < counters_.size() && counters_[index].raw) return counters_[index].raw->takePayload();
    return std::vector<std::uint8_t>(4, 0);
}

}  // namespace veltrano::sim
