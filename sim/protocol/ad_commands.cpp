#include "sim/model/analyses/ad_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

Reply startAd(const Request& request, CommandContext& context) {
    const std::int64_t duration_s = readAnalysisStart(request).duration_s;
    AdSettings settings;
    settings.channel = adChannelKey(request, "ch", context);
    settings.integration_points = integrationPointsKey(request, context, settings.channel);
    settings.sampling_num = boundedKey(request, "sampling_num", 1, kMaxKeptAdSamples);
    context.instrument.startAnalysis(std::make_unique<AdAnalysis>(settings), duration_s);
    return okReply();
}

}  // namespace

// Its samples go out through "fetch_analysis_rawdata" (analysis_commands.cpp).
void registerAdCommands(CommandTable& table) { table.add("ad_analysis", startAd); }

}  // namespace veltrano::sim
