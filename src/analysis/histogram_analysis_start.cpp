// The starts of the histogram analyses of one channel: autocorrelation (g2 over
// a delay range, T2 time tags on request), time over threshold and the energy
// spectrum of an A/D channel (their pulse records on request). Each saves its
// histogram at stop.

#include "analysis/analysis_starts.h"
#include "analysis/analysis_state.h"
#include "analysis/run_start.h"

namespace vel::analysis {

int startAutocorrelation(const SessionContext& session, AnalysisState& state, const nlohmann::json& request,
                         int duration, uint8_t enableT2Data, const std::string& folder, const std::string& fileName) {
    state.t2Enabled = enableT2Data == 1;
    state.t2ToFile = false;
    if (!prepareProcessDataFile(session, state, folder, fileName, "tdiff(s), auto_correlation(g2)",
                                "Prepare output file path failed for auto-correlation analysis")) {
        return -1;
    }
    // With a file name the service writes the T2 records into its own file.
    return sendHistogramStart(session, state, request, duration, Kind::Autocorrelation, state.t2ToFile,
                              !fileName.empty());
}

int startTimeOverThreshold(const SessionContext& session, AnalysisState& state, int duration, int channel,
                           int8_t enableTotData, const std::string& folder, const std::string& fileName) {
    if (!prepareProcessDataFile(session, state, folder, fileName, "tot, counts",
                                "Prepare output file path failed for TOT analysis")) {
        return -1;
    }
    state.totDataToFile = false;
    state.totDataEnabled = enableTotData == 1;
    const nlohmann::json request = {{"cmd", "tot_analysis"}, {"duration", duration},
                                    {"ch", channel},         {"enable_tot_data", static_cast<int>(enableTotData)},
                                    {"folder_path", folder}, {"file_name", fileName}};
    return sendHistogramStart(session, state, request, duration, Kind::TimeOverThreshold, state.totDataToFile,
                              !fileName.empty());
}

int startEnergySpectrum(const SessionContext& session, AnalysisState& state, const nlohmann::json& request,
                        int duration, int8_t enableEsData, const std::string& folder, const std::string& fileName) {
    if (!prepareProcessDataFile(session, state, folder, fileName, "adc, counts",
                                "Prepare output file path failed for ES analysis")) {
        return -1;
    }
    state.esDataToFile = false;
    state.esDataEnabled = enableEsData == 1;
    return sendHistogramStart(session, state, request, duration, Kind::EnergySpectrum, state.esDataToFile,
                              !fileName.empty());
}

}  // namespace vel::analysis
