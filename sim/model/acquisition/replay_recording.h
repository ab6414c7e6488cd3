#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "sim/model/sources/event.h"

namespace veltrano::sim {

// Recorded time tags that stand in for the signal model ("--replay"): the
// events of a raw file in format 0 or 1 (or of a volume set, volume 0 named),
// in time order, as the acquisition wrote them.
struct ReplayRecording {
    std::filesystem::path file;
    std::vector<Event> events;
    // The recording's length: its last tag rounded up to a whole second (an
    // acquisition lasts whole seconds), the period of a looped replay.
    std::int64_t lengthPs = 0;
    bool loop = false;
};

// Reads `firstVolume` and the volumes that follow it (run.bin, run_1.bin,
// run_2.bin, ...). The format follows the extension as the library names its
// files: ".bin" format 0 (16-byte records), ".dat" format 1 (24-byte records).
// Throws std::invalid_argument naming the file and the problem: missing or
// unreadable, empty, not a whole number of records, a channel outside
// 1 .. channelCount, tags going backwards, the text format (".csv") or an
// unknown extension.
std::shared_ptr<const ReplayRecording> loadReplayRecording(const std::filesystem::path& firstVolume,
                                                           int channelCount, bool loop);

}  // namespace veltrano::sim
