#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/model/analyses/point_list.h"
#include "sim/model/analyses/record_store.h"
#include "sim/protocol/command_table.h"

namespace veltrano::sim {

// The keys every analysis start shares.
struct AnalysisStart {
    std::int64_t durationS = 1;  // "duration", 1 .. 1000000
    std::string folderPath;      // optional
    std::string fileName;        // optional; empty: records are kept for fetching
};

// Reads "duration" (required) and "folder_path", "file_name" (optional).
AnalysisStart readAnalysisStart(const Request& request);
// A channel number under `key`: 3 when it is not a JSON integer, 4 out of range.
int channelKey(const Request& request, const std::string& key, const CommandContext& context);
// A channel number inside an object or array member (`what` names it in the error).
int channelValue(const Json& value, const std::string& what, const CommandContext& context);
// An A/D channel number under `key`: as channelKey, and 4 for an even channel.
int adChannelKey(const Request& request, const std::string& key, const CommandContext& context);
// "ad_integration_point" (samples, as "set_adp" allows, else 5); without the key,
// the channel's own setting.
int integrationPointsKey(const Request& request, const CommandContext& context, int channel);
// "area_scale" (as "set_adareascale" allows, else 5); without the key, the board's setting.
std::int64_t areaScaleKey(const Request& request, const CommandContext& context);
// A coincidence window (ps) under `key`: 1 .. 1000000000, else 5.
std::int64_t windowKey(const Request& request, const std::string& key);
// An integer under `key` within `min` .. `max`, else 5.
std::int64_t boundedKey(const Request& request, const std::string& key, std::int64_t min, std::int64_t max);
// Creates the run's service-side record file named by analysisRecordPath;
// throws ProtocolError(FileError) when it cannot.
std::unique_ptr<RecordStore> openRecordFile(const std::string& dataDir, const AnalysisStart& start,
                                            const std::string& suffix, std::size_t recordBytes);
// Where a run keeps records it is asked to keep: in memory without a file
// name, else in its record file (relative folders under data_dir).
std::unique_ptr<RecordStore> recordStoreFor(const std::string& dataDir, const AnalysisStart& start,
                                            const std::string& suffix, std::size_t recordBytes);

// A point list as a binary reply.
Reply pointListReply(const PointList& points);

}  // namespace veltrano::sim
