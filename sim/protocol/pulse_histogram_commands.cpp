#include "sim/model/sources/adc_pulse.h"
#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/pulse_histogram_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

// The records kept under `key` ("enable_tot_data", "enable_es_data": 1 keeps them).
std::unique_ptr<RecordStore> pulseRecords(const Request& request, const std::string& key, const CommandContext& context,
                                          const AnalysisStart& start, const std::string& suffix) {
    if (request.integer(key, 0) != 1) return nullptr;
    return recordStoreFor(context.instrument.dataDir(), start, suffix, kPulseRecordBytes);
}

Reply startTimeOverThreshold(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    const int channel = channelKey(request, "ch", context);
    auto records = pulseRecords(request, "enable_tot_data", context, start, "_tot.bin");
    context.instrument.startAnalysis(
        std::make_unique<PulseHistogramAnalysis>(AnalysisKind::TimeOverThreshold, channel,
                                                 [](const Event& e) { return e.widthPs; }, std::move(records)),
        start.durationS);
    return okReply();
}

Reply startEnergySpectrum(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    const int channel = adChannelKey(request, "ch", context);
    const int points = integrationPointsKey(request, context, channel);
    const std::int64_t scale = areaScaleKey(request, context);
    auto records = pulseRecords(request, "enable_es_data", context, start, "_es.bin");
    auto area = [points, scale](const Event& e) { return scaledPulseArea(e.energyKev, points, scale); };
    context.instrument.startAnalysis(
        std::make_unique<PulseHistogramAnalysis>(AnalysisKind::EnergySpectrum, channel, area, std::move(records)),
        start.durationS);
    return okReply();
}

// The record fetch of `kind`: the records kept since the last fetch, or an
// empty list (another kind held, none kept, or kept in the record file).
CommandHandler pulseRecordFetch(AnalysisKind kind) {
    return [kind](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        const std::vector<std::uint8_t> none(4, 0);
        const auto payload = context.instrument.analyses().withRun<PulseHistogramAnalysis>(
            [kind, &none](PulseHistogramAnalysis& run) {
                return run.kind() == kind && run.records() != nullptr ? run.records()->takePayload() : none;
            });
        return binaryReply(payload.value_or(none));
    };
}

}  // namespace

void registerPulseHistogramCommands(CommandTable& table) {
    table.add("tot_analysis", startTimeOverThreshold);
    table.add("fetch_tot_data", pulseRecordFetch(AnalysisKind::TimeOverThreshold));
    table.add("es_analysis", startEnergySpectrum);
    table.add("fetch_es_data", pulseRecordFetch(AnalysisKind::EnergySpectrum));
}

}  // namespace veltrano::sim
