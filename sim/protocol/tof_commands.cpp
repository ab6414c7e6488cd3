#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/tof_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxAverages = 1'000'000;
constexpr std::int64_t kMaxBinWidthPs = 1'000'000'000;
constexpr std::int64_t kMaxDarkRateHz = 1'000'000'000;
constexpr std::int64_t kMaxVirtualTwins = 1'000'000;

Reply startTof(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    TofSettings settings;
    settings.startChannel = channelKey(request, "ch1", context);
    settings.stopChannel = channelKey(request, "ch2", context);
    settings.windowPs = windowKey(request, "coins_time_window");
    settings.avgTimes = request.has("avg_times") ? boundedKey(request, "avg_times", 1, kMaxAverages) : 1;
    settings.durationPs = start.durationS * kPsPerSecond;
    const bool keepT3 = request.integer("enable_t3_data", 0) == 1;
    std::unique_ptr<RecordStore> t3 = keepT3 ? recordStoreFor(context.instrument.dataDir(), start, "_t3.bin", kT3RecordBytes) : nullptr;
    context.instrument.startAnalysis(
        std::make_unique<TofAnalysis>(settings, context.instrument.crossCorrelationConfig(), std::move(t3)),
        start.durationS);
    return okReply();
}

Reply configureCrossCorrelation(const Request& request, CommandContext& context) {
    CrossCorrelationConfig config;
    config.virtualTwin = boundedKey(request, "virtual_twin", 0, kMaxVirtualTwins);
    config.binWidthPs = boundedKey(request, "bin_width", 1, kMaxBinWidthPs);
    config.dcr1Hz = boundedKey(request, "dcr1", 0, kMaxDarkRateHz);
    config.dcr2Hz = boundedKey(request, "dcr2", 0, kMaxDarkRateHz);
    context.instrument.advanceSignal();
    context.instrument.setCrossCorrelationConfig(config);
    context.instrument.analyses().withRun<TofAnalysis>([&](TofAnalysis& run) {
        run.configureCrossCorrelation(config);
        return true;
    });
    return okReply();
}

}  // namespace

void registerTofCommands(CommandTable& table) {
    table.add("tof_analysis", startTof);
    table.add("set_cross_correlation_config", configureCrossCorrelation);
    table.add("fetch_cross_correlation_data", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        const auto curve = context.instrument.analyses().withRun<TofAnalysis>(
            [](const TofAnalysis& run) { return run.crossCorrelation(); });
        return pointListReply(curve.value_or(PointList{}));
    });
}

}  // namespace veltrano::sim
