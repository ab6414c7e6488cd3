#include <cmath>

#include "sim/model/analyses/period_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxDecades = 12;
constexpr std::int64_t kMaxDecadePoints = 50;

Reply startPeriod(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    PeriodSettings settings;
    settings.channel = context.instrument.clockChannel();
    settings.decades = static_cast<int>(boundedKey(request, "decades", 1, kMaxDecades));
    settings.decadePoints = static_cast<int>(boundedKey(request, "decade_points", 1, kMaxDecadePoints));
    settings.fnomHz = request.number("fnom_hz");
    if (!std::isfinite(settings.fnomHz) || settings.fnomHz <= 0 || settings.fnomHz > 1e12) {
        throw ProtocolError(ResultCode::ValueOutOfRange, "value out of range: \"fnom_hz\" must be above 0 and at most 1e12");
    }
    // The library's own polling and averaging values: checked for their type only.
    for (const char* key : {"average_num", "analysis_length", "sampling_interval", "sampling_num"}) {
        request.integer(key, 0);
    }
    context.instrument.startAnalysis(std::make_unique<PeriodAnalysis>(settings), start.durationS);
    return okReply();
}

Reply stabilityMetricReply(const Request& request, CommandContext& context) {
    const std::int64_t type = request.integer("stability_metric_type");
    context.instrument.advanceSignal();
    if (type < 0 || type >= kStabilityMetricCount) return pointListReply({});
    const auto input = context.instrument.analyses().withRun<PeriodAnalysis>(
        [](const PeriodAnalysis& run) { return run.stabilityInput(); });
    // Computed outside the runner's lock: long runs take a moment.
    return pointListReply(input ? stabilityMetric(*input, static_cast<StabilityMetric>(type)) : PointList{});
}

}  // namespace

void registerPeriodCommands(CommandTable& table) {
    table.add("period_analysis", startPeriod);
    table.add("fetch_period_stability_metric", stabilityMetricReply);
}

}  // namespace veltrano::sim
