#include "sim/protocol/analysis_support.h"

#include <stdexcept>

#include "sim/model/sources/adc_pulse.h"
#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxDurationS = 1'000'000;
constexpr std::int64_t kMaxWindowPs = 1'000'000'000;

std::string channelRangeText(const CommandContext& context) {
    return "channel out of range: must be 1.." + std::to_string(context.instrument.channelCount());
}

}  // namespace

AnalysisStart readAnalysisStart(const Request& request) {
    AnalysisStart start;
    start.durationS = boundedKey(request, "duration", 1, kMaxDurationS);
    start.folderPath = request.text("folder_path", "");
    start.fileName = request.text("file_name", "");
    return start;
}

int channelKey(const Request& request, const std::string& key, const CommandContext& context) {
    const std::int64_t channel = request.integer(key);
    if (channel < 1 || channel > context.instrument.channelCount()) {
        throw ProtocolError(ResultCode::ChannelOutOfRange, "\"" + key + "\": " + channelRangeText(context));
    }
    return static_cast<int>(channel);
}

int channelValue(const Json& value, const std::string& what, const CommandContext& context) {
    if (!value.is_number_integer()) throw ProtocolError(ResultCode::BadParameter, what + " must be an integer");
    // Unsigned values beyond int64 read as -1 here and fail the range check.
    const std::int64_t channel = value.is_number_unsigned() && value.get<std::uint64_t>() > 0x7FFFFFFFu
                                     ? -1
                                     : value.get<std::int64_t>();
    if (channel < 1 || channel > context.instrument.channelCount()) {
        throw ProtocolError(ResultCode::ChannelOutOfRange, what + ": " + channelRangeText(context));
    }
    return static_cast<int>(channel);
}

int adChannelKey(const Request& request, const std::string& key, const CommandContext& context) {
    const int channel = channelKey(request, key, context);
    if (!isAdChannel(channel)) {
        throw ProtocolError(ResultCode::ChannelOutOfRange,
                            "\"" + key + "\": channel " + std::to_string(channel) + " is not an A/D channel (the odd ones)");
    }
    return channel;
}

int integrationPointsKey(const Request& request, const CommandContext& context, int channel) {
    const std::string key = "ad_integration_point";
    if (!request.has(key)) return context.instrument.channelSetting(channel, ChannelSetting::AdIntegrationPoint).value;
    const IntRange range = channelSettingRange(ChannelSetting::AdIntegrationPoint);
    return static_cast<int>(boundedKey(request, key, range.min, range.max));
}

std::int64_t areaScaleKey(const Request& request, const CommandContext& context) {
    const std::string key = "area_scale";
    if (!request.has(key)) return context.instrument.boardSetting(BoardSetting::AdAreaScale);
    const IntRange range = boardSettingRange(BoardSetting::AdAreaScale);
    return boundedKey(request, key, range.min, range.max);
}

std::int64_t windowKey(const Request& request, const std::string& key) {
    return boundedKey(request, key, 1, kMaxWindowPs);
}

std::int64_t boundedKey(const Request& request, const std::string& key, std::int64_t min, std::int64_t max) {
    const std::int64_t value = request.integer(key);
    if (value < min || value > max) {
        throw ProtocolError(ResultCode::ValueOutOfRange,
                            "value out of range: \"" + key + "\" must be " + std::to_string(min) + ".." + std::to_string(max));
    }
    return value;
}

std::unique_ptr<RecordStore> openRecordFile(const std::string& dataDir, const AnalysisStart& start,
                                            const std::string& suffix, std::size_t recordBytes) {
    try {
        return std::make_unique<RecordStore>(
            recordBytes, analysisRecordPath(dataDir, start.folderPath, start.fileName, suffix));
    } catch (const std::exception& e) {
        throw ProtocolError(ResultCode::FileError, e.what());
    }
}

std::unique_ptr<RecordStore> recordStoreFor(const std::string& dataDir, const AnalysisStart& start,
                                            const std::string& suffix, std::size_t recordBytes) {
    if (start.fileName.empty()) return std::make_unique<RecordStore>(recordBytes);
    return openRecordFile(dataDir, start, suffix, recordBytes);
}

Reply pointListReply(const PointList& points) { return binaryReply(encodePointList(points)); }

}  // namespace veltrano::sim
