#include "sim/model/analyses/record_store.h"

#include <algorithm>

#include "sim/model/common/little_endian.h"

namespace veltrano::sim {

RecordStore::RecordStore(std::size_t recordBytes) : recordBytes_(recordBytes) {}

RecordStore::RecordStore(std::size_t recordBytes, const std::filesystem::path& file)
    : recordBytes_(recordBytes), file_(std::make_unique<VolumeFileSet>(file, 0, false)) {}

void RecordStore::add(std::span<const unsigned char> record) {
    ++added_;
    if (file_) {
        file_->writeRecord(record);
    } else if (kept_.size() / recordBytes_ >= kMaxKeptRecords) {
        ++dropped_;
    } else {
        kept_.insert(kept_.end(), record.begin(), record.end());
    }
}

std::vector<std::uint8_t> RecordStore::takePayload() {
    std::vector<std::uint8_t> payload(4 + kept_.size());
    putLittleEndian(payload.data(), static_cast<std::uint32_t>(kept_.size() / recordBytes_));
    std::copy(kept_.begin(), kept_.end(), payload.begin() + 4);
    kept_.clear();
    return payload;
}

void RecordStore::clear() { kept_.clear(); }

void RecordStore::flush() {
    if (file_) file_->flush();
}

void RecordStore::close() {
    if (file_) file_->close();
}

}  // namespace veltrano::sim
