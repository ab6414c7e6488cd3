#include "sim/model/analyses/record_store.h"

#include <algorithm>

#include "sim/model/common/little_endian.h"

namespace veltrano::sim {

RecordStore::RecordStore(std::size_t record_bytes) : record_bytes_(record_bytes) {}

RecordStore::RecordStore(std::size_t record_bytes, const std::filesystem::path& file)
    : record_bytes_(record_bytes), file_(std::make_unique<VolumeFileSet>(file, 0, false)) {}

void RecordStore::add(std::span<const unsigned char> record) {
    ++added_;
    if (file_) {
        file_->writeRecord(record);
    } else if (kept_.size() / record_bytes_ >= kMaxKeptRecords) {
        ++dropped_;
    } else {
        kept_.insert(kept_.end(), record.begin(), record.end());
    }
}

std::vector<std::uint8_t> RecordStore::takePayload() {
    std::vector<std::uint8_t> payload(4 + kept_.size());
    putLittleEndian(payload.data(), static_cast<std::uint32_t>(kept_.size() / record_bytes_));
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
