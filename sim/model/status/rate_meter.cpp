#include "sim/model/status/rate_meter.h"

#include <algorithm>
#include <limits>

namespace veltrano::sim {
namespace {

constexpr std::int64_t kBinPs = 1'000'000'000;  // 1 ms
constexpr std::int64_t kBinsPerSecond = 1000;
constexpr std::int64_t kHistoryMarginPs = 2 * kBinPs;
constexpr auto kHistoryInterest = std::chrono::minutes(1);

std::int64_t binOf(std::int64_t tPs) { return tPs >= 0 ? tPs / kBinPs : -((-tPs + kBinPs - 1) / kBinPs); }

}  // namespace

RateMeter::RateMeter(int channelCount, RateConfig config, std::int64_t coincidenceWindowPs)
    : channelCount_(channelCount),
      config_(config),
      windowPs_(coincidenceWindowPs),
      // The meter counted before power-on (far enough back, yet clear of overflow when offsets apply).
      gaps_{Span{std::numeric_limits<std::int64_t>::min() / 2, 0}} {
    const auto channels = static_cast<std::size_t>(channelCount);
    for (int k = 0; k < 2; ++k) {
        current_[k].assign(channels, 0);
        totals_[k].assign(channels, 0);
        ring_[k].assign(channels * kBinsPerSecond, 0);
    }
}

std::size_t RateMeter::slot(std::int64_t bin, int channelIndex) const {
    const auto ringIndex = static_cast<std::size_t>(((bin % kBinsPerSecond) + kBinsPerSecond) % kBinsPerSecond);
    return ringIndex * static_cast<std::size_t>(channelCount_) + static_cast<std::size_t>(channelIndex);
}

void RateMeter::setCoincidenceWindowPs(std::int64_t windowPs) {
    std::lock_guard lock(mutex_);
    windowPs_ = windowPs;
}

void RateMeter::keepHistory() {
    std::lock_guard lock(mutex_);
    historyWantedUntil_ = std::chrono::steady_clock::now() + kHistoryInterest;
}

Outcome<std::int64_t> RateMeter::rate(RateKind kind, int channel) const {
    if (channel < 1 || channel > channelCount_) return {ModelError::ChannelOutOfRange, 0};
    std::lock_guard lock(mutex_);
    return {ModelError::None, totals_[static_cast<int>(kind)][static_cast<std::size_t>(channel - 1)]};
}

void RateMeter::startRecording(RateKind kind) {
    std::lock_guard lock(mutex_);
    Recording& r = recordings_[static_cast<int>(kind)];
    r = Recording{};
    r.active = r.sampling = true;
    r.startBin = currentBin_;
    r.nextSampleBin = currentBin_ + config_.sampleIntervalMs;
    r.lastSampleBin = currentBin_ + config_.maxRecordingS * kBinsPerSecond;
}

std::string RateMeter::takeRecording(RateKind kind) {
    std::lock_guard lock(mutex_);
    Recording& r = recordings_[static_cast<int>(kind)];
    std::string rows = std::move(r.rows);
    r = Recording{};
    return rows;
}

void RateMeter::stopRecordings() {
    std::lock_guard lock(mutex_);
    for (Recording& r : recordings_) r = Recording{};
}

bool RateMeter::anySampling() const {
    return std::any_of(recordings_.begin(), recordings_.end(), [](const Recording& r) { return r.sampling; });
}

bool RateMeter::historyWanted() const { return std::chrono::steady_clock::now() < historyWantedUntil_; }

// The last second, and the window and bin around it.
std::int64_t RateMeter::historyWindowPs() const { return kBinsPerSecond * kBinPs + windowPs_ + kHistoryMarginPs; }

std::int64_t RateMeter::historyNeededPs() const {
    std::lock_guard lock(mutex_);
    // A recording samples every interval, so it needs every event; someone
    // reading rates needs the last second.
    if (anySampling()) return kEveryEvent;
    return historyWanted() ? historyWindowPs() : 0;
}

std::int64_t RateMeter::historyToFillPs() const {
    std::lock_guard lock(mutex_);
    return anySampling() || historyWanted() ? historyWindowPs() : 0;
}

void RateMeter::onEvents(std::span<const Event> events) {
    std::lock_guard lock(mutex_);
    for (const Event& e : events) {
        if (e.channel < 1 || e.channel > channelCount_) continue;
        const std::int64_t t = e.timePs + offsetPs_;
        settleBefore(t - windowPs_);
        bool coincident = false;
        for (Recent& r : recent_) {
            if (r.channel != e.channel) r.coincident = coincident = true;
        }
        recent_.push_back(Recent{t, e.channel, coincident});
    }
}

void RateMeter::onProgress(std::int64_t completeBeforePs) {
    std::lock_guard lock(mutex_);
    const std::int64_t settledBefore = completeBeforePs + offsetPs_ - windowPs_;
    settleBefore(settledBefore);
    advanceBinsTo(binOf(settledBefore));
}

void RateMeter::onTimeBaseRestart(std::int64_t previousTimeBasePs) {
    std::lock_guard lock(mutex_);
    offsetPs_ += std::max<std::int64_t>(previousTimeBasePs, 0);
}

void RateMeter::onSkipped(std::int64_t fromPs, std::int64_t toPs) {
    std::lock_guard lock(mutex_);
    if (toPs <= fromPs) return;
    const Span gap{fromPs + offsetPs_, toPs + offsetPs_};
    if (!gaps_.empty() && gaps_.back().toPs >= gap.fromPs) {
        gaps_.back().toPs = std::max(gaps_.back().toPs, gap.toPs);
    } else {
        gaps_.push_back(gap);
    }
    forgetGapsBefore(gap.toPs - 2 * historyWindowPs());
}

void RateMeter::forgetGapsBefore(std::int64_t timePs) {
    gaps_.erase(std::remove_if(gaps_.begin(), gaps_.end(), [timePs](const Span& g) { return g.toPs <= timePs; }),
                gaps_.end());
}

std::vector<RateMeter::Span> RateMeter::gapsWithin(std::int64_t fromPs, std::int64_t toPs) const {
    std::lock_guard lock(mutex_);
    std::vector<Span> within;
    for (const Span& g : gaps_) {
        const std::int64_t a = std::max(g.fromPs - offsetPs_, fromPs);
        const std::int64_t b = std::min(g.toPs - offsetPs_, toPs);
        if (a < b) within.push_back(Span{a, b});
    }
    return within;
}

void RateMeter::backfill(std::span<const Event> events, std::int64_t fromPs, std::int64_t toPs) {
    std::lock_guard lock(mutex_);
    // An event is coincident when another channel's event lies within the window.
    std::vector<bool> coincident(events.size(), false);
    std::size_t first = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        while (events[i].timePs - events[first].timePs > windowPs_) ++first;
        for (std::size_t j = first; j < i; ++j) {
            if (events[j].channel != events[i].channel) coincident[i] = coincident[j] = true;
        }
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.channel >= 1 && e.channel <= channelCount_) countBackfilled(e.timePs + offsetPs_, e.channel, coincident[i]);
    }
    // The gaps in [fromPs, toPs) are filled now: cut that stretch out of them.
    const std::int64_t a = fromPs + offsetPs_;
    const std::int64_t b = toPs + offsetPs_;
    std::vector<Span> left;
    for (const Span& g : gaps_) {
        if (g.toPs <= a || g.fromPs >= b) {
            left.push_back(g);
            continue;
        }
        if (g.fromPs < a) left.push_back(Span{g.fromPs, a});
        if (g.toPs > b) left.push_back(Span{b, g.toPs});
    }
    gaps_ = std::move(left);
}

void RateMeter::countBackfilled(std::int64_t timePs, int channel, bool coincident) {
    const std::int64_t bin = binOf(timePs);
    const auto index = static_cast<std::size_t>(channel - 1);
    if (bin >= currentBin_) {
        advanceBinsTo(bin);
        ++current_[static_cast<int>(RateKind::Single)][index];
        if (coincident) ++current_[static_cast<int>(RateKind::Coincidence)][index];
        return;
    }
    if (bin < currentBin_ - kBinsPerSecond) return;  // older than the last second
    for (int k = 0; k < 2; ++k) {
        if (k == static_cast<int>(RateKind::Coincidence) && !coincident) continue;
        ++ring_[k][slot(bin, channel - 1)];
        ++totals_[k][index];
    }
}

void RateMeter::settleBefore(std::int64_t limitPs) {
    while (!recent_.empty() && recent_.front().timePs < limitPs) {
        countSettled(recent_.front());
        recent_.pop_front();
    }
}

void RateMeter::countSettled(const Recent& event) {
    advanceBinsTo(binOf(event.timePs));
    const auto index = static_cast<std::size_t>(event.channel - 1);
    ++current_[static_cast<int>(RateKind::Single)][index];
    if (event.coincident) ++current_[static_cast<int>(RateKind::Coincidence)][index];
}

void RateMeter::advanceBinsTo(std::int64_t bin) {
    if (bin <= currentBin_) return;
    if (bin - currentBin_ > kBinsPerSecond && !anySampling()) {
        // Everything counted so far is more than a second old: start afresh.
        for (int k = 0; k < 2; ++k) {
            std::fill(current_[k].begin(), current_[k].end(), 0);
            std::fill(ring_[k].begin(), ring_[k].end(), 0);
            std::fill(totals_[k].begin(), totals_[k].end(), 0);
        }
        currentBin_ = bin;
        return;
    }
    while (currentBin_ < bin) completeCurrentBin();
}

void RateMeter::completeCurrentBin() {
    for (int k = 0; k < 2; ++k) {
        for (int ch = 0; ch < channelCount_; ++ch) {
            std::int64_t& stored = ring_[k][slot(currentBin_, ch)];  // held the bin a second older
            const auto index = static_cast<std::size_t>(ch);
            totals_[k][index] += current_[k][index] - stored;
            stored = current_[k][index];
            current_[k][index] = 0;
        }
    }
    ++currentBin_;
    for (int k = 0; k < 2; ++k) {
        Recording& r = recordings_[k];
        if (r.sampling && currentBin_ >= r.nextSampleBin) sample(static_cast<RateKind>(k), r);
    }
}

void RateMeter::sample(RateKind kind, Recording& recording) {
    const std::string timestamp = std::to_string(currentBin_ - recording.startBin);
    const auto& totals = totals_[static_cast<int>(kind)];
    for (int ch = 0; ch < channelCount_; ++ch) {
        recording.rows += timestamp;
        recording.rows += ',';
        recording.rows += std::to_string(ch + 1);
        recording.rows += ',';
        recording.rows += std::to_string(totals[static_cast<std::size_t>(ch)]);
        recording.rows += '\n';
    }
    recording.nextSampleBin += config_.sampleIntervalMs;
    if (currentBin_ >= recording.lastSampleBin) recording.sampling = false;
}

}  // namespace veltrano::sim
