#pragma once

#include <cstdint>

#include "sim/model/analyses/analysis_kind.h"
#include "sim/model/sources/event.h"
#include "sim/model/analyses/point_list.h"

namespace veltrano::sim {

inline constexpr std::int64_t kPsPerSecond = 1'000'000'000'000;

// One analysis run computed from the instrument's events. The analysis runner
// feeds it the events of the run's time line (ps since the run started, from 0
// up to its duration) in time order, and serialises every call.
class AnalysisRun {
public:
    virtual ~AnalysisRun() = default;

    virtual AnalysisKind kind() const = 0;
    virtual void onEvent(const Event& event, std::int64_t timePs) = 0;
    // Every event before completePs (run time line) has been delivered.
    virtual void onComplete(std::int64_t completePs) = 0;
    // Forgets the data accumulated so far ("clear_analysis_data"); the run goes on.
    virtual void clear() = 0;
    // The answer of "fetch_processdata" while this run is held.
    virtual PointList processData() const = 0;
    // The raw points produced since the last take ("fetch_analysis_rawdata");
    // runs that stream none answer an empty list.
    virtual PointList takeRawPoints() { return {}; }
    // The run ended (duration passed) or was stopped: settles what waits for
    // later events that will not come, and closes its files. Called once.
    virtual void finish() = 0;
};

}  // namespace veltrano::sim
