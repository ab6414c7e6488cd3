#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "sim/model/common/fnv1a.h"

namespace veltrano::sim {

// The files a service-side raw acquisition writes: the stream split into volumes
// of at most maxVolumeBytes (0: one volume without limit), named by volumePath.
// With splitExactly a volume ends exactly at the limit, even inside a record;
// otherwise a record that would not fit whole starts the next volume.
// Not thread-safe; the raw acquisition serialises access.
class VolumeFileSet {
public:
    // Creates the folder when missing and volume 0 (replacing a file of that
    // name). Throws std::runtime_error naming the path when either fails.
    VolumeFileSet(std::filesystem::path first, std::uint64_t maxVolumeBytes, bool splitExactly);
    ~VolumeFileSet();
    VolumeFileSet(const VolumeFileSet&) = delete;
    VolumeFileSet& operator=(const VolumeFileSet&) = delete;

    // Appends one record. After the first failure nothing more is written and
    // error() tells why.
    void writeRecord(std::span<const unsigned char> record);
    // Hands what was written to the system, so readers see it.
    void flush();
    // Closes the open volume; later writes are ignored.
    void close();

    const std::vector<std::string>& paths() const { return paths_; }
    std::uint64_t bytesWritten() const { return bytesWritten_; }
    std::uint64_t checksum() const { return checksum_.value(); }
    const std::string& error() const { return error_; }

private:
    void openVolume();
    void write(const unsigned char* data, std::size_t size);

    std::filesystem::path first_;
    std::uint64_t maxVolumeBytes_;
    bool splitExactly_;
    std::FILE* file_ = nullptr;
    std::uint64_t inVolume_ = 0;
    std::uint64_t bytesWritten_ = 0;
    Fnv1a64 checksum_;
    std::vector<std::string> paths_;
    std::string error_;
};

}  // namespace veltrano::sim
