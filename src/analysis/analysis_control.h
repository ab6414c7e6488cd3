#pragma once
// The machinery every analysis shares: the stop timer, the common stop
// routine, stopping the raw threads, saving one point list into a CSV file, and
// the raw point buffer with its cache thread, writer thread and memory fetch.
// All functions take the session's context and the analyses' state, catch
// everything and log in the session's log; none throws.

#include "analysis/analysis_kinds.h"
#include "analysis/point_list.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// Marks the start of a new run: bumps the run number and clears the stop
// flag. Start functions call it right before they send their start command.
void beginRun(AnalysisState& state);

// Starts the session's stop timer for the current run: after duration + 2 s it
// stops that run with the common stop routine, unless that run has been
// stopped or a later run has begun meanwhile. -1 for durationSeconds <= 0 or
// a thread that cannot be started (logged), else 0.
int startStopTimer(const SessionContext& session, AnalysisState& state, int durationSeconds, Kind kind);

// The common stop routine behind every ci_stop_..._analysis: ends the stop
// timer if it still waits, then stops the current run.
int stopAnalysis(const SessionContext& session, AnalysisState& state, Kind kind);

// Sets rawStopRequested, wakes and joins the raw cache and raw writer
// threads, clears rawWriterActive. 0, or -1 (exception, logged).
int stopAnalysisThreads(const SessionContext& session, AnalysisState& state);

// Fetches one point list with {"cmd": command, "stability_metric_type",
// "start_chan", "stop_chan"} and appends it to the CSV file at path. 0 when
// path is empty (nothing fetched), 0 on success, -1 on failure (logged).
int saveProcessData(const SessionContext& session, const std::string& path, const char* command, int metricType,
                    int startChan, int stopChan);

// One exchange of a raw producer thread: the point list answering request.
int fetchRawAnalysisData(const SessionContext& session, const nlohmann::json& request, PointList& points);

// Starts the raw writer thread that drains rawPoints into rawPath (a CSV file
// that already holds its header line).
void startRawWriter(const SessionContext& session, AnalysisState& state, const std::string& rawPath);

// What a raw cache thread logs; the period and A/D analyses differ only here.
struct RawCacheMessages {
    const char* fetchFailed;
    const char* timeLimitReached;
    const char* threadName;  // "<threadName> exception: ..." / "<threadName> unknown exception"
};

// Steps 8 of a raw-data start once its start command succeeded: clears the
// flags, installs a fresh raw buffer, starts the raw cache thread polling
// "fetch_analysis_rawdata" every samplingIntervalMs, and in file mode (rawPath
// not empty) the raw writer.
void startRawDataThreads(const SessionContext& session, AnalysisState& state, int durationSeconds,
                         int samplingIntervalMs, const RawCacheMessages& messages, const std::string& rawPath);

// The memory-mode raw fetch: the points buffered so far (each handed out
// once), waiting up to timeoutMs for some. Null with *count 0 when raw data goes
// to a file, the run is over and the buffer is empty, or nothing came in time.
int64_t* fetchBufferedRawPoints(const SessionContext& session, AnalysisState& state, int* count, int timeoutMs);

// The polling loop of every memory-mode raw fetch. take runs under
// rawBufferMutex and moves the buffered points out; it returns false when there
// is no buffer at all (the fetch then returns null at once). Points still
// buffered after their producer ended are handed out before null is returned.
int64_t* fetchBufferedPoints(const SessionContext& session, AnalysisState& state, int* count, int timeoutMs,
                             const std::function<bool(AnalysisState&, PointList&)>& take);

}  // namespace vel::analysis
