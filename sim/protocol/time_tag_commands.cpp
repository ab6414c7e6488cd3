#include "sim/model/analyses/autocorrelation_analysis.h"
#include "sim/model/analyses/startstop_analysis.h"
#include "sim/model/analyses/tof_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

// The records `Run` keeps in its store since the last fetch; an empty list when
// the run held is of another kind or keeps none.
template <class Run, class Store>
std::optional<std::vector<std::uint8_t>> takeRecords(CommandContext& context, Store store) {
    return context.instrument.analyses().withRun<Run>([&](Run& run) {
        RecordStore* records = (run.*store)();
        return records ? records->takePayload() : std::vector<std::uint8_t>(4, 0);
    });
}

}  // namespace

void registerTimeTagCommands(CommandTable& table) {
    table.add("fetch_t2_data", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        const auto payload = takeRecords<AutocorrelationAnalysis>(context, &AutocorrelationAnalysis::t2Records);
        return binaryReply(payload.value_or(std::vector<std::uint8_t>(4, 0)));
    });
    table.add("fetch_t3_data", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        auto payload = takeRecords<TofAnalysis>(context, &TofAnalysis::t3Records);
        if (!payload) payload = takeRecords<StartStopAnalysis>(context, &StartStopAnalysis::t3Records);
        return binaryReply(payload.value_or(std::vector<std::uint8_t>(4, 0)));
    });
}

}  // namespace veltrano::sim
