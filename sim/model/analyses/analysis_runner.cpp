#include "sim/model/analyses/analysis_runner.h"

#include <algorithm>

namespace veltrano::sim {

AnalysisRunner::AnalysisRunner(std::shared_ptr<const SimClock> clock) : clock_(std::move(clock)) {}

void AnalysisRunner::begin(std::unique_ptr<AnalysisRun> run, std::int64_t durationS, std::int64_t timeBasePs) {
    std::lock_guard lock(mutex_);
    endLocked(AnalysisState::Stopped);
    run_ = std::move(run);
    state_ = AnalysisState::Running;
    originPs_ = timeBasePs;
    endPs_ = durationS * kPsPerSecond;
    startedClockPs_ = clock_->nowPs();
}

void AnalysisRunner::endLocked(AnalysisState state) {
    if (state_ != AnalysisState::Running) return;
    run_->finish();
    state_ = state;
}

bool AnalysisRunner::stop(AnalysisKind kind) {
    std::lock_guard lock(mutex_);
    if (!run_ || run_->kind() != kind || state_ == AnalysisState::Stopped) return false;
    endLocked(AnalysisState::Stopped);
    state_ = AnalysisState::Stopped;
    return true;
}

void AnalysisRunner::stopAll() {
    std::lock_guard lock(mutex_);
    endLocked(AnalysisState::Stopped);
    if (run_) state_ = AnalysisState::Stopped;
}

bool AnalysisRunner::clear() {
    std::lock_guard lock(mutex_);
    if (!run_ || state_ == AnalysisState::Stopped) return false;
    run_->clear();
    return true;
}

PointList AnalysisRunner::processData() const {
    std::lock_guard lock(mutex_);
    return run_ ? run_->processData() : PointList{};
}

PointList AnalysisRunner::takeRawPoints() {
    std::lock_guard lock(mutex_);
    return run_ ? run_->takeRawPoints() : PointList{};
}

bool AnalysisRunner::processing(AnalysisKind kind) const {
    std::lock_guard lock(mutex_);
    if (!run_ || run_->kind() != kind) return false;
    if (state_ == AnalysisState::Running) return true;
    return state_ == AnalysisState::Ended && clock_->nowPs() - startedClockPs_ < endPs_ + kProcessingTailPs;
}

AnalysisState AnalysisRunner::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void AnalysisRunner::onEvents(std::span<const Event> events) {
    std::lock_guard lock(mutex_);
    if (state_ != AnalysisState::Running) return;
    for (const Event& e : events) {
        const std::int64_t t = e.timePs - originPs_;
        if (t < 0) continue;        // tagged before the run started
        if (t >= endPs_) break;    // events come in time order
        run_->onEvent(e, t);
    }
}

void AnalysisRunner::onProgress(std::int64_t completeBeforePs) {
    std::lock_guard lock(mutex_);
    if (state_ != AnalysisState::Running) return;
    const std::int64_t complete = completeBeforePs - originPs_;
    run_->onComplete(std::clamp<std::int64_t>(complete, 0, endPs_));
    if (complete >= endPs_) endLocked(AnalysisState::Ended);
}

void AnalysisRunner::onTimeBaseRestart(std::int64_t previousTimeBasePs) {
    std::lock_guard lock(mutex_);
    originPs_ -= previousTimeBasePs;  // the run's time line goes on from where it was
}

std::int64_t AnalysisRunner::historyNeededPs() const {
    std::lock_guard lock(mutex_);
    return state_ == AnalysisState::Running ? kEveryEvent : 0;
}

}  // namespace veltrano::sim
