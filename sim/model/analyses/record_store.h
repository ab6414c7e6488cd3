#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "sim/model/acquisition/volume_file_set.h"

namespace veltrano::sim {

// Where an analysis puts its fixed-size records (T3, n-fold coincidences): kept
// in memory until fetched, or written into a service-side file when the run was
// started with a file name. Memory keeps at most kMaxKeptRecords unfetched
// records; later ones are dropped and counted.
// Not thread-safe; the analysis runner serialises access.
class RecordStore {
public:
    static constexpr std::size_t kMaxKeptRecords = 1 << 20;

    explicit RecordStore(std::size_t recordBytes);
    // Creates the file (and its folder); throws std::runtime_error naming the path when it cannot.
    RecordStore(std::size_t recordBytes, const std::filesystem::path& file);

    void add(std::span<const unsigned char> record);
    // A record fetch's payload: the count as uint32 LE, then the records kept
    // since the last take. With a file, always an empty list.
    std::vector<std::uint8_t> takePayload();
    // Drops the records kept in memory (a file keeps what it has).
    void clear();
    void flush();
    void close();

    bool toFile() const { return file_ != nullptr; }
    std::uint64_t added() const { return added_; }
    std::uint64_t dropped() const { return dropped_; }

private:
    std::size_t recordBytes_;
    std::vector<std::uint8_t> kept_;
    std::unique_ptr<VolumeFileSet> file_;
    std::uint64_t added_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace veltrano::sim
