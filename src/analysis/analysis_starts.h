#pragma once
// The starts of the histogram and raw-data analyses, after their exports have
// checked the arguments: each prepares its CSV files, sends its start command
// and arms the stop timer. Each returns the start command's status, or -1
// (logged) when a file cannot be prepared. The start-stop and n-fold
// coincidence starts have files of their own.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

struct TimeOfFlightRun {
    int duration, ch1, ch2, coinsTimeWindow;
    uint8_t enableT3Data;
    int avgTimes;
};
int startTimeOfFlight(const SessionContext& session, AnalysisState& state, const TimeOfFlightRun& run,
                      const std::string& folder, const std::string& fileName);
// Prepares the g2 file of the latest time-of-flight start and sends the configuration.
int configureCrossCorrelation(const SessionContext& session, AnalysisState& state, int virtualTwin, int binWidth,
                              int dcr1, int dcr2);

struct ConformEsRun {
    int duration, ch1, ch2, adIntegrationPoint, areaScale;
    int energyWindowMin1, energyWindowMax1, energyWindowMin2, energyWindowMax2;
    int coinsTimeWindow, avgTimes;
};
// The first failing argument check decides; its message, or null when all pass.
const char* checkConformEsRun(const ConformEsRun& run);
int startConformEnergySpectrum(const SessionContext& session, AnalysisState& state, const ConformEsRun& run,
                               const std::string& folder, const std::string& fileName);

// request is the start command; samplingIntervalMs the raw polling interval.
int startPeriod(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                int samplingIntervalMs, const std::string& folder, const std::string& fileName);
int startAd(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
            int samplingIntervalMs, const std::string& folder, const std::string& fileName);

int startAutocorrelation(const SessionContext& session, AnalysisState& state, const nlohmann::json& request,
                         int duration, uint8_t enableT2Data, const std::string& folder, const std::string& fileName);
int startTimeOverThreshold(const SessionContext& session, AnalysisState& state, int duration, int channel,
                           int8_t enableTotData, const std::string& folder, const std::string& fileName);
int startEnergySpectrum(const SessionContext& session, AnalysisState& state, const nlohmann::json& request,
                        int duration, int8_t enableEsData, const std::string& folder, const std::string& fileName);

}  // namespace vel::analysis
