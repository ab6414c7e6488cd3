#pragma once
// The savers the common stop routine calls for the analyses that save more
// than plain process data. Each returns 0 or -1 (the status of its last save).

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

int saveConformEsResults(const SessionContext& session, AnalysisState& state);     // conform energy spectrum
int saveStartStopResults(const SessionContext& session, AnalysisState& state);     // start-stop
int saveNCoincidenceResults(const SessionContext& session, AnalysisState& state);  // n-fold coincidences

}  // namespace vel::analysis
