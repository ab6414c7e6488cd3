#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/model/sources/event.h"

namespace veltrano::sim {

// How the raw acquisition writes each event ("set_acq_dataformat"). Every format
// is one record (or text line) per event, in time order, with no header.
enum class RawDataFormat : int {
    TimeTags = 0,            // 16 bytes: int64 time_ps, uint32 channel, uint32 sequence
    TimeTagsWithPulses = 1,  // 24 bytes: the above, int32 width_ps, float32 energy_kev
    CsvText = 2,             // "time_ps,channel,width_ps,energy_kev\n"
};
inline constexpr int kRawDataFormatCount = 3;

// Room enough for the longest record or line of any format.
inline constexpr std::size_t kMaxRawRecordBytes = 96;

// Writes the event's record into `out` (kMaxRawRecordBytes long) and returns its
// length. `time_ps` is the tag on the acquisition's own time line; `sequence` the
// event's number within the acquisition. All binary fields are little-endian.
std::size_t encodeRawRecord(RawDataFormat format, const Event& event, std::int64_t timePs, std::uint32_t sequence,
                            unsigned char* out);

// The longest prefix of `bytes` no longer than `limit` that ends at a record (or
// line) boundary, assuming `bytes` starts at one. Binary formats cut at a
// multiple of the record size, CSV after the last line feed within the limit.
std::size_t wholeRecordPrefix(RawDataFormat format, std::span<const std::uint8_t> bytes, std::size_t limit);

}  // namespace veltrano::sim
