#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

struct StopCommand {
    AnalysisKind kind;
    const char* name;
};

constexpr StopCommand kStopCommands[] = {
    {AnalysisKind::TimeOfFlight, "stop_tof_analysis"},
    {AnalysisKind::AD, "stop_ad_analysis"},
    {AnalysisKind::TimeOverThreshold, "stop_tot_analysis"},
    {AnalysisKind::EnergySpectrum, "stop_es_analysis"},
    {AnalysisKind::ConformEnergySpectrum, "stop_conform_es_analysis"},
    {AnalysisKind::Period, "stop_period_analysis"},
    {AnalysisKind::StartStop, "stop_startstop_analysis"},
    {AnalysisKind::NCoincidence, "stop_ncoins_analysis"},
    {AnalysisKind::Autocorrelation, "stop_autocorrelation_analysis"},
};

}  // namespace

// What every analysis shares: its stop command, the processed-data and raw-point fetches and clearing.
void registerAnalysisCommands(CommandTable& table) {
    for (const StopCommand& stop : kStopCommands) {
        const AnalysisKind kind = stop.kind;
        // Stopping a kind that does not run is not an error: the library sends
        // the stop command after every run, whatever happened meanwhile.
        table.add(stop.name, [kind](const Request&, CommandContext& context) {
            context.instrument.advanceSignal();
            context.instrument.analyses().stop(kind);
            return okReply();
        });
    }
    // Extra keys ("stability_metric_type", "start_chan", "stop_chan") are ignored.
    table.add("fetch_processdata", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        return pointListReply(context.instrument.analyses().processData());
    });
    // Raw points of the run held: periods of a period run, samples of an A/D run.
    table.add("fetch_analysis_rawdata", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        return pointListReply(context.instrument.analyses().takeRawPoints());
    });
    table.add("clear_analysis_data", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        context.instrument.analyses().clear();
        return valueReply(0);
    });
}

}  // namespace veltrano::sim
