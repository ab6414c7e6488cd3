#include <cmath>

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/autocorrelation_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxDelayBins = 1 << 20;
// Longer delays would make every event meet too many partners.
constexpr double kMaxDelayS = 1e-3;

double delayKey(const Request& request, const std::string& key) {
    const double seconds = request.number(key);
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxDelayS) {
        throw ProtocolError(ResultCode::ValueOutOfRange, "value out of range: \"" + key + "\" must be -0.001..0.001 s");
    }
    return seconds;
}

Reply startAutocorrelation(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    AutocorrelationSettings settings;
    settings.channel = channelKey(request, "ch", context);
    const double minTauS = delayKey(request, "min_tau");
    const double maxTauS = delayKey(request, "max_tau");
    settings.bins = boundedKey(request, "bin_num", 1, kMaxDelayBins);
    settings.minTauPs = minTauS * 1e12;
    settings.maxTauPs = maxTauS * 1e12;
    if (!(settings.minTauPs < settings.maxTauPs)) {
        throw ProtocolError(ResultCode::ValueOutOfRange, "value out of range: \"min_tau\" must be below \"max_tau\"");
    }
    const bool keepT2 = request.integer("enable_t2_data", 0) == 1;
    std::unique_ptr<RecordStore> t2 =
        keepT2 ? recordStoreFor(context.instrument.dataDir(), start, "_t2.bin", kT2RecordBytes) : nullptr;
    context.instrument.startAnalysis(std::make_unique<AutocorrelationAnalysis>(settings, std::move(t2)),
                                     start.durationS);
    return okReply();
}

}  // namespace

void registerAutocorrelationCommands(CommandTable& table) {
    table.add("autocorrelation_analysis", startAutocorrelation);
    table.add("fetch_autocorrelation_data", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        const auto curve = context.instrument.analyses().withRun<AutocorrelationAnalysis>(
            [](const AutocorrelationAnalysis& run) { return run.curve(); });
        return pointListReply(curve.value_or(PointList{}));
    });
}

}  // namespace veltrano::sim
