#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <type_traits>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/sources/event_sink.h"
#include "sim/model/common/sim_clock.h"

namespace veltrano::sim {

enum class AnalysisState {
    Idle,     // no run since the simulator started
    Running,
    Ended,    // its duration passed; its data stays until the next start
    Stopped,  // by its stop command, "reset_state" or the next start; its data stays
};

// Holds the instrument's analysis run: at most one at a time. A run covers the
// events from its start for its duration on its own time line (which goes on
// across time base restarts). The last run's results stay fetchable after it
// ended or was stopped, until the next start replaces it.
//
// Thread rules: every member below mutex_ is guarded by it; the sink calls come
// with the instrument's lock held (lock order: instrument, then this). No call
// here takes the instrument's lock.
class AnalysisRunner final : public EventSink {
public:
    // How long "is_ncoins_analysis_processing" stays true after the duration.
    static constexpr std::int64_t kProcessingTailPs = kPsPerSecond / 2;

    explicit AnalysisRunner(std::shared_ptr<const SimClock> clock);

    // Stops the held run, then starts `run` at timeBasePs on the instrument's time base.
    void begin(std::unique_ptr<AnalysisRun> run, std::int64_t durationS, std::int64_t timeBasePs);
    // Stops the held run when it is of `kind` and not stopped yet; true when it did.
    bool stop(AnalysisKind kind);
    // Stops whatever runs.
    void stopAll();
    // Forgets the data of the held run (running or ended); false without one.
    bool clear();
    // The held run's processed data; empty without one.
    PointList processData() const;
    // The held run's raw points since the last take; empty without one.
    PointList takeRawPoints();
    // True while a run of `kind` runs, and for kProcessingTailPs after its duration.
    bool processing(AnalysisKind kind) const;
    AnalysisState state() const;

    // Calls f with the held run when it is a `Run`, under the runner's lock;
    // empty when no run of that type is held.
    template <class Run, class F>
    auto withRun(F&& f) -> std::optional<std::invoke_result_t<F, Run&>> {
        std::lock_guard lock(mutex_);
        Run* run = dynamic_cast<Run*>(run_.get());
        if (run == nullptr) return std::nullopt;
        return f(*run);
    }

    void onEvents(std::span<const Event> events) override;
    void onProgress(std::int64_t completeBeforePs) override;
    void onTimeBaseRestart(std::int64_t previousTimeBasePs) override;
    std::int64_t historyNeededPs() const override;

private:
    void endLocked(AnalysisState state);

    const std::shared_ptr<const SimClock> clock_;

    mutable std::mutex mutex_;
    std::unique_ptr<AnalysisRun> run_;
    AnalysisState state_ = AnalysisState::Idle;
    std::int64_t originPs_ = 0;       // the instrument's tag at which the run's time line starts
    std::int64_t endPs_ = 0;          // the run's duration on its time line
    std::int64_t startedClockPs_ = 0;
};

}  // namespace veltrano::sim
