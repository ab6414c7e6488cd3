#include "sim/model/acquisition/volume_file_set.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {

VolumeFileSet::VolumeFileSet(std::filesystem::path first, std::uint64_t max_volume_bytes, bool split_exactly)
    : first_(std::move(first)), max_volume_bytes_(max_volume_bytes), split_exactly_(split_exactly) {
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
    in_volume_ = 0;
}

void VolumeFileSet::writeRecord(std::span<const unsigned char> record) {
    const unsigned char* data = record.data();
    std::size_t size = record.size();
    if (max_volume_bytes_ > 0 && !split_exactly_ && in_volume_ > 0 && in_volume_ + size > max_volume_bytes_) {
        openVolume();
    }
    while (size > 0 && file_ != nullptr && error_.empty()) {
        if (max_volume_bytes_ > 0 && in_volume_ >= max_volume_bytes_) {
            openVolume();
            continue;
        }
        std::size_t part = size;
        if (max_volume_bytes_ > 0 && split_exactly_) part = std::min<std::uint64_t>(size, max_volume_bytes_ - in_volume_);
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
    in_volume_ += size;
    bytes_written_ += size;
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
