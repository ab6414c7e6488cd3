#include "sim/model/status/rate_meter.h"

#include <algorithm>
#include <limits>

namespace veltrano::sim {
namespace {

constexpr std::int64_t kBinPs = 1'000'000'000;  // 1 ms
constexpr std::int64_t kBinsPerSecond = 1000;
constexpr std::int64_t kHistoryMarginPs = 2 * kBinPs;
constexpr auto kHistoryInterest = std::chrono::minutes(1);

std::int64_t binOf(std::int64_t t_ps) { return t_ps >= 0 ? t_ps / kBinPs : -((-t_ps + kBinPs - 1) / kBinPs); }

}  // namespace

RateMeter::RateMeter(int channel_count, RateConfig config, std::int64_t coincidence_window_ps)
    : channel_count_(channel_count),
      config_(config),
      window_ps_(coincidence_window_ps),
      // The meter counted before power-on (far enough back, yet clear of overflow when offsets apply).
      gaps_{Span{std::numeric_limits<std::int64_t>::min() / 2, 0}} {
    const auto channels = static_cast<std::size_t>(channel_count);
    for (int k = 0; k < 2; ++k) {
        current_[k].assign(channels, 0);
        totals_[k].assign(channels, 0);
        ring_[k].assign(channels * kBinsPerSecond, 0);
    }
}

std::size_t RateMeter::slot(std::int64_t bin, int channel_index) const {
    const auto ring_index = static_cast<std::size_t>(((bin % kBinsPerSecond) + kBinsPerSecond) % kBinsPerSecond);
    return ring_index * static_cast<std::size_t>(channel_count_) + static_cast<std::size_t>(channel_index);
}

void RateMeter::setCoincidenceWindowPs(std::int64_t window_ps) {
    std::lock_guard lock(mutex_);
    window_ps_ = window_ps;
}

void RateMeter::keepHistory() {
    std::lock_guard lock(mutex_);
    history_wanted_until_ = std::chrono::steady_clock::now() + kHistoryInterest;
}

Outcome<std::int64_t> RateMeter::rate(RateKind kind, int channel) const {
    if (channel < 1 || channel > channel_count_) return {ModelError::ChannelOutOfRange, 0};
    std::lock_guard lock(mutex_);
    return {ModelError::None, totals_[static_cast<int>(kind)][static_cast<std::size_t>(channel - 1)]};
}

void RateMeter::startRecording(RateKind kind) {
    std::lock_guard lock(mutex_);
    Recording& r = recordings_[static_cast<int>(kind)];
    r = Recording{};
    r.active = r.sampling = true;
    r.start_bin = current_bin_;
    r.next_sample_bin = current_bin_ + config_.sample_interval_ms;
    r.last_sample_bin = current_bin_ + config_.max_recording_s * kBinsPerSecond;
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

bool RateMeter::historyWanted() const { return std::chrono::steady_clock::now() < history_wanted_until_; }

// The last second, and the window and bin around it.
std::int64_t RateMeter::historyWindowPs() const { return kBinsPerSecond * kBinPs + window_ps_ + kHistoryMarginPs; }

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
        if (e.channel < 1 || e.channel > channel_count_) continue;
        const std::int64_t t = e.time_ps + offset_ps_;
        settleBefore(t - window_ps_);
        bool coincident = false;
        for (Recent& r : recent_) {
            if (r.channel != e.channel) r.coincident = coincident = true;
        }
        recent_.push_back(Recent{t, e.channel, coincident});
    }
}

void RateMeter::onProgress(std::int64_t complete_before_ps) {
    std::lock_guard lock(mutex_);
    const std::int64_t settled_before = complete_before_ps + offset_ps_ - window_ps_;
    settleBefore(settled_before);
    advanceBinsTo(binOf(settled_before));
}

void RateMeter::onTimeBaseRestart(std::int64_t previous_time_base_ps) {
    std::lock_guard lock(mutex_);
    offset_ps_ += std::max<std::int64_t>(previous_time_base_ps, 0);
}

void RateMeter::onSkipped(std::int64_t from_ps, std::int64_t to_ps) {
    std::lock_guard lock(mutex_);
    if (to_ps <= from_ps) return;
    const Span gap{from_ps + offset_ps_, to_ps + offset_ps_};
    if (!gaps_.empty() && gaps_.back().to_ps >= gap.from_ps) {
        gaps_.back().to_ps = std::max(gaps_.back().to_ps, gap.to_ps);
    } else {
        gaps_.push_back(gap);
    }
    forgetGapsBefore(gap.to_ps - 2 * historyWindowPs());
}

void RateMeter::forgetGapsBefore(std::int64_t time_ps) {
    gaps_.erase(std::remove_if(gaps_.begin(), gaps_.end(), [&](const Span& g) { return g.to_ps <= time_ps; }),
                gaps_.end());
}

std::vector<RateMeter::Span> RateMeter::gapsWithin(std::int64_t from_ps, std::int64_t to_ps) const {
    std::lock_guard lock(mutex_);
    std::vector<Span> within;
    for (const Span& g : gaps_) {
        const std::int64_t a = std::max(g.from_ps - offset_ps_, from_ps);
        const std::int64_t b = std::min(g.to_ps - offset_ps_, to_ps);
        if (a < b) within.push_back(Span{a, b});
    }
    return within;
}

void RateMeter::backfill(std::span<const Event> events, std::int64_t from_ps, std::int64_t to_ps) {
    std::lock_guard lock(mutex_);
    // An event is coincident when another channel's event lies within the window.
    std::vector<bool> coincident(events.size(), false);
    std::size_t first = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        while (events[i].time_ps - events[first].time_ps > window_ps_) ++first;
        for (std::size_t j = first; j < i; ++j) {
            if (events[j].channel != events[i].channel) coincident[i] = coincident[j] = true;
        }
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.channel >= 1 && e.channel <= channel_count_) countBackfilled(e.time_ps + offset_ps_, e.channel, coincident[i]);
    }
    // The gaps in [from_ps, to_ps) are filled now: cut that stretch out of them.
    const std::int64_t a = from_ps + offset_ps_;
    const std::int64_t b = to_ps + offset_ps_;
    std::vector<Span> left;
    for (const Span& g : gaps_) {
        if (g.to_ps <= a || g.from_ps >= b) {
            left.push_back(g);
            continue;
        }
        if (g.from_ps < a) left.push_back(Span{g.from_ps, a});
        if (g.to_ps > b) left.push_back(Span{b, g.to_ps});
    }
    gaps_ = std::move(left);
}

void RateMeter::countBackfilled(std::int64_t time_ps, int channel, bool coincident) {
    const std::int64_t bin = binOf(time_ps);
    const auto index = static_cast<std::size_t>(channel - 1);
    if (bin >= current_bin_) {
        advanceBinsTo(bin);
        ++current_[static_cast<int>(RateKind::Single)][index];
        if (coincident) ++current_[static_cast<int>(RateKind::Coincidence)][index];
        return;
    }
    if (bin < current_bin_ - kBinsPerSecond) return;  // older than the last second
    for (int k = 0; k < 2; ++k) {
        if (k == static_cast<int>(RateKind::Coincidence) && !coincident) continue;
        ++ring_[k][slot(bin, channel - 1)];
        ++totals_[k][index];
    }
}

void RateMeter::settleBefore(std::int64_t limit_ps) {
    while (!recent_.empty() && recent_.front().time_ps < limit_ps) {
        countSettled(recent_.front());
        recent_.pop_front();
    }
}

void RateMeter::countSettled(const Recent& event) {
    advanceBinsTo(binOf(event.time_ps));
    const auto index = static_cast<std::size_t>(event.channel - 1);
    ++current_[static_cast<int>(RateKind::Single)][index];
    if (event.coincident) ++current_[static_cast<int>(RateKind::Coincidence)][index];
}

void RateMeter::advanceBinsTo(std::int64_t bin) {
    if (bin <= current_bin_) return;
    if (bin - current_bin_ > kBinsPerSecond && !anySampling()) {
        // Everything counted so far is more than a second old: start afresh.
        for (int k = 0; k < 2; ++k) {
            std::fill(current_[k].begin(), current_[k].end(), 0);
            std::fill(ring_[k].begin(), ring_[k].end(), 0);
            std::fill(totals_[k].begin(), totals_[k].end(), 0);
        }
        current_bin_ = bin;
        return;
    }
    while (current_bin_ < bin) completeCurrentBin();
}

void RateMeter::completeCurrentBin() {
    for (int k = 0; k < 2; ++k) {
        for (int ch = 0; ch < channel_count_; ++ch) {
            std::int64_t& stored = ring_[k][slot(current_bin_, ch)];  // held the bin a second older
            const auto index = static_cast<std::size_t>(ch);
            totals_[k][index] += current_[k][index] - stored;
            stored = current_[k][index];
            current_[k][index] = 0;
        }
    }
    ++current_bin_;
    for (int k = 0; k < 2; ++k) {
        Recording& r = recordings_[k];
        if (r.sampling && current_bin_ >= r.next_sample_bin) sample(static_cast<RateKind>(k), r);
    }
}

void RateMeter::sample(RateKind kind, Recording& recording) {
    const std::string timestamp = std::to_string(current_bin_ - recording.start_bin);
    const auto& totals = totals_[static_cast<int>(kind)];
    for (int ch = 0; ch < channel_count_; ++ch) {
        recording.rows += timestamp;
        recording.rows += ',';
        recording.rows += std::to_string(ch + 1);
        recording.rows += ',';
        recording.rows += std::to_string(totals[static_cast<std::size_t>(ch)]);
        recording.rows += '\n';
    }
    recording.next_sample_bin += config_.sample_interval_ms;
    if (current_bin_ >= recording.last_sample_bin) recording.sampling = false;
}

}  // namespace veltrano::sim
