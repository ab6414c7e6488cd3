#include <algorithm>
#include <chrono>

#include "sim/model/acquisition/hex_conversion.h"
#include "sim/model/acquisition/service_paths.h"
#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxWaitMs = 60000;

Reply startAcquisition(const Request& request, CommandContext& context) {
    AcquisitionRequest r;
    r.dataMode = request.integer("data_mode");
    r.durationS = request.integer("duration");
    r.folderPath = request.text("folder_path", "");
    r.fileName = request.text("file_name", "");
    r.maxVolumeMib = request.integer("max_volume_size", 0);
    r.forceClose = request.boolean("force_close", false);
    const AcquisitionStart started = context.instrument.startRawAcquisition(r);
    if (started.error == ModelError::None) return okReply();
    return errorReply(resultFor(started.error), started.message);
}

Reply waitDataReady(const Request& request, CommandContext& context) {
    const std::int64_t timeoutMs = std::clamp<std::int64_t>(request.integer("timeout_ms"), 0, kMaxWaitMs);
    context.instrument.advanceSignal();
    switch (context.instrument.rawAcquisition().waitReady(std::chrono::milliseconds(timeoutMs))) {
        case WaitOutcome::Ready: return okReply();
        case WaitOutcome::TimedOut:
            return errorReply(ResultCode::TimedOut, "no data ready within " + std::to_string(timeoutMs) + " ms");
        case WaitOutcome::NothingToWaitFor: break;
    }
    return errorReply(ResultCode::WrongState, "no acquisition data to wait for");
}

Reply convertToHex(const Request& request, CommandContext& context) {
    const std::string& binFile = request.text("bin_file");
    const std::string hexFile = request.text("hex_file", "");
    if (binFile.empty()) return errorReply(ResultCode::FileError, "bin_file is empty");
    const std::string& dataDir = context.instrument.dataDir();
    const std::string failure = convertFileToHex(resolveServicePath(dataDir, binFile),
                                                 resolveServicePath(dataDir, hexOutputName(binFile, hexFile)));
    return failure.empty() ? okReply() : errorReply(ResultCode::FileError, failure);
}

Json statsMembers(const AcquisitionStats& s) {
    return Json{{"acquisition", s.acquisition},
                {"state", stateName(s.state)},
                {"data_mode", s.dataMode},
                {"data_format", s.dataFormat},
                {"duration", s.durationS},
                {"events", s.events},
                {"bytes_produced", s.bytesProduced},
                {"produced_fnv1a64", Fnv1a64::hex(s.producedFnv1a64)},
                {"bytes_fetched", s.bytesFetched},
                {"fetched_fnv1a64", Fnv1a64::hex(s.fetchedFnv1a64)},
                {"bytes_pending", s.bytesPending},
                {"bytes_dropped", s.bytesDropped},
                {"bytes_written", s.bytesWritten},
                {"written_fnv1a64", Fnv1a64::hex(s.writtenFnv1a64)},
                {"files", s.files},
                {"file_error", s.fileError}};
}

}  // namespace

void registerAcquisitionCommands(CommandTable& table) {
    table.add("acq_rawdata", startAcquisition);
    table.add("fetch_rawdata", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        RawChunk chunk = context.instrument.rawAcquisition().fetch();
        if (chunk.shared) return binaryReply(std::move(chunk.shared));
        return binaryReply(std::move(chunk.owned));
    });
    table.add("stop_acq", [](const Request&, CommandContext& context) {
        context.instrument.stopRawAcquisition();
        return okReply();
    });
    table.add("wait_data_ready", waitDataReady);
    table.add("is_rawdata_processing", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        return valueReply(context.instrument.rawAcquisition().processing());
    });
    table.add("set_acq_dataformat", [](const Request& request, CommandContext& context) {
        const ModelError error = context.instrument.rawAcquisition().setDataFormat(request.integer("data_format"));
        if (error == ModelError::WrongState) {
            return errorReply(ResultCode::WrongState, "the data format cannot change while an acquisition runs");
        }
        return statusReply(error, context, "0.." + std::to_string(kRawDataFormatCount - 1));
    });
    table.add("get_acq_dataformat", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.rawAcquisition().dataFormat());
    });
    table.add("convert_to_hex", convertToHex);
    // Not part of the instrument's protocol: lets tests check the bytes a client received.
    table.add("sim_acq_stats", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        return membersReply(statsMembers(context.instrument.rawAcquisition().stats()));
    });
}

}  // namespace veltrano::sim
