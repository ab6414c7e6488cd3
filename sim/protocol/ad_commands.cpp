#include "sim/model/analyses/ad_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

Reply startAd(const Request& request, CommandContext& context) {
    const std::int64_t durationS = readAnalysisStart(request).durationS;
    AdSettings settings;
    settings.channel = adChannelKey(request, "ch", context);
    settings.integrationPoints = integrationPointsKey(request, context, settings.channel);
    settings.samplingNum = boundedKey(request, "sampling_num", 1, kMaxKeptAdSamples);
    context.instrument.startAnalysis(std::make_unique<AdAnalysis>(settings), durationS);
    return okReply();
}

}  // namespace

// Its samples go out through "fetch_analysis_rawdata" (analysis_commands.cpp).
void registerAdCommands(CommandTable& table) { table.add("ad_analysis", startAd); }

}  // namespace veltrano::sim
