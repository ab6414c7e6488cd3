#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

struct RateCommandNames {
    RateKind kind;
    const char* rate;
    const char* startRecording;
    const char* recordingData;
};

constexpr RateCommandNames kRateCommands[] = {
    {RateKind::Single, "get_single_cps", "start_single_cps_recording", "get_singlecps_data"},
    {RateKind::Coincidence, "get_coins_cps", "start_coins_cps_recording", "get_coinscps_data"},
};

}  // namespace

// Every handler first brings the meter up to now.
void registerCountRateCommands(CommandTable& table) {
    for (const RateCommandNames& names : kRateCommands) {
        const RateKind kind = names.kind;
        table.add(names.rate, [kind](const Request& request, CommandContext& context) {
            const int channel = request.channel();
            context.instrument.rateMeter().keepHistory();
            context.instrument.advanceSignal();
            return valueOrError(context.instrument.rateMeter().rate(kind, channel), context);
        });
        // The recording's first row is a full second's count like every later one.
        table.add(names.startRecording, [kind](const Request&, CommandContext& context) {
            context.instrument.rateMeter().keepHistory();
            context.instrument.advanceSignal();
            context.instrument.rateMeter().startRecording(kind);
            return okReply();
        });
        // The rows "timestamp,channel_no,cps" as text in one binary frame; ends the recording.
        table.add(names.recordingData, [kind](const Request&, CommandContext& context) {
            context.instrument.advanceSignal();
            const std::string rows = context.instrument.rateMeter().takeRecording(kind);
            return binaryReply(std::vector<std::uint8_t>(rows.begin(), rows.end()));
        });
    }
}

}  // namespace veltrano::sim
