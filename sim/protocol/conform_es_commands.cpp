#include "sim/model/analyses/conform_es_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxAverages = 1'000'000;
constexpr std::int64_t kMaxArea = 0x7FFFFFFF;

EnergyWindow energyWindowKeys(const Request& request, const std::string& minKey, const std::string& maxKey) {
    EnergyWindow window;
    window.min = boundedKey(request, minKey, 0, kMaxArea);
    window.max = boundedKey(request, maxKey, 0, kMaxArea);
    if (window.min >= window.max) {
        throw ProtocolError(ResultCode::ValueOutOfRange,
                            "value out of range: \"" + minKey + "\" must be below \"" + maxKey + "\"");
    }
    return window;
}

Reply startConformEnergySpectrum(const Request& request, CommandContext& context) {
    const std::int64_t durationS = readAnalysisStart(request).durationS;
    ConformEsSettings settings;
    settings.channel1 = adChannelKey(request, "ch1", context);
    settings.channel2 = adChannelKey(request, "ch2", context);
    if (settings.channel1 == settings.channel2) {
        throw ProtocolError(ResultCode::ValueOutOfRange, "value out of range: \"ch1\" and \"ch2\" must differ");
    }
    settings.integrationPoints1 = integrationPointsKey(request, context, settings.channel1);
    settings.integrationPoints2 = integrationPointsKey(request, context, settings.channel2);
    settings.areaScale = areaScaleKey(request, context);
    settings.windowPs = windowKey(request, "coins_time_window");
    settings.avgTimes = request.has("avg_times") ? boundedKey(request, "avg_times", 1, kMaxAverages) : 1;
    settings.window1 = energyWindowKeys(request, "energy_window_min1", "energy_window_max1");
    settings.window2 = energyWindowKeys(request, "energy_window_min2", "energy_window_max2");
    settings.durationPs = durationS * kPsPerSecond;
    context.instrument.startAnalysis(std::make_unique<ConformEsAnalysis>(settings), durationS);
    return okReply();
}

// A spectrum of the coincidence-gated run held; empty without one.
CommandHandler areaFetch(PointList (ConformEsAnalysis::*area)() const) {
    return [area](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        const auto spectrum = context.instrument.analyses().withRun<ConformEsAnalysis>(
            [area](const ConformEsAnalysis& run) { return (run.*area)(); });
        return pointListReply(spectrum.value_or(PointList{}));
    };
}

}  // namespace

void registerConformEsCommands(CommandTable& table) {
    table.add("conform_es_analysis", startConformEnergySpectrum);
    table.add("fetch_ces_area1_processdata", areaFetch(&ConformEsAnalysis::area1Data));
    table.add("fetch_ces_area2_processdata", areaFetch(&ConformEsAnalysis::area2Data));
}

}  // namespace veltrano::sim
