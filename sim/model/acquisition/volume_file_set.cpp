#include "sim/model/acquisition/volume_file_set.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {

VolumeFileSet::VolumeFileSet(std::filesystem::path first, std::uint64_t maxVolumeBytes, bool splitExactly)
    : first_(std::move(first)), maxVolumeBytes_(maxVolumeBytes), splitExactly_(splitExactly) {
    std::error_code ec;
    if (first_.has_parent_path()) std::filesystem::create_directories(first_.parent_path(), ec);
    if (ec) throw std::runtime_error("cannot create folder " + first_.parent_path().string() + ": " + ec.message());
    openVolume();
    if (!error_.empty()) throw std::runtime_error(error_);
}

VolumeFileSet::~VolumeFileSet() { close(); }

void VolumeFileSet::openVolume() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    const std::string path = volumePath(first_, paths_.size()).string();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error_ = "cannot create " + path + ": " + std::strerror(errno);
        return;
    }
    paths_.push_back(path);
    inVolume_ = 0;
}

void VolumeFileSet::writeRecord(std::span<const unsigned char> record) {
    const unsigned char* data = record.data();
    std::size_t size = record.size();
    if (maxVolumeBytes_ > 0 && !splitExactly_ && inVolume_ > 0 && inVolume_ + size > maxVolumeBytes_) {
        openVolume();
    }
    while (size > 0 && file_ != nullptr && error_.empty()) {
        if (maxVolumeBytes_ > 0 && inVolume_ >= maxVolumeBytes_) {
            openVolume();
            continue;
        }
        std::size_t part = size;
        if (maxVolumeBytes_ > 0 && splitExactly_) part = std::min<std::uint64_t>(size, maxVolumeBytes_ - inVolume_);
        write(data, part);
        data += part;
        size -= part;
    }
}

void VolumeFileSet::write(const unsigned char* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) {
        error_ = "cannot write " + paths_.back() + ": " + std::strerror(errno);
        return;
    }
    inVolume_ += size;
    bytesWritten_ += size;
    checksum_.update(data, size);
}

void VolumeFileSet::flush() {
    if (file_ != nullptr && std::fflush(file_) != 0 && error_.empty()) {
        error_ = "cannot write " + paths_.back() + ": " + std::strerror(errno);
    }
}

void VolumeFileSet::close() {
    if (file_ == nullptr) return;
    if (std::fclose(file_) != 0 && error_.empty()) error_ = "cannot write " + paths_.back() + ": " + std::strerror(errno);
    file_ = nullptr;
}

}  // namespace veltrano::sim
