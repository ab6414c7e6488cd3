// The portable half of a volume's mapping state: page rounding, mapping and
// its growth rule. The system calls are in the per-platform source.

#include "acq/platform_impl.h"

#include <algorithm>
#include <limits>

namespace ksq {

namespace {
// Both POSIX (-1) and Windows (INVALID_HANDLE_VALUE) mark a closed file so.
constexpr intptr_t kInvalidFile = -1;
}  // namespace

AsyncFileWriter::PlatformImpl::PlatformImpl() : fileHandle_(kInvalidFile) {
    const int32_t systemSize = systemPageSize();
    if (systemSize > 0) {
        pageSize_ = systemSize;
    }
}

AsyncFileWriter::PlatformImpl::~PlatformImpl() {
    unmapFile();
    if (isOpen()) {
        closeFile();
    }
}

bool AsyncFileWriter::PlatformImpl::openFile(const std::filesystem::path& path) {
    return !isOpen() && createFile(path);
}

bool AsyncFileWriter::PlatformImpl::isOpen() const {
    return fileHandle_ != kInvalidFile;
}

uint64_t AsyncFileWriter::PlatformImpl::alignedSize(uint64_t size) const {
    const auto page = static_cast<uint64_t>(pageSize_);
    const uint64_t remainder = size % page;
    if (remainder == 0) {
        return size;
    }
    if (size > std::numeric_limits<uint64_t>::max() - (page - remainder)) {
        return 0;  // cannot be represented, hence cannot be mapped
    }
    return size + (page - remainder);
}

bool AsyncFileWriter::PlatformImpl::mapFile(uint64_t size) {
    if (!isOpen()) {
        return false;
    }
    const uint64_t aligned = alignedSize(size);
    if (aligned == 0 || aligned > std::numeric_limits<size_t>::max()) {
        return false;  // nothing to map, or more than the address space holds
    }
    if (!setFileLength(aligned)) {
        return false;
    }
    if (!mapView(aligned)) {
        return false;
    }
    mappedSize_ = aligned;
    return true;
}

void AsyncFileWriter::PlatformImpl::unmapFile() {
    if (view_ == nullptr) {
        return;
    }
    flushWritten();
    releaseView(alignedSize(mappedSize_));
    view_ = nullptr;
}

bool AsyncFileWriter::PlatformImpl::safeExpand(uint64_t needed) {
    if (mappedSize_ >= needed) {
        return true;
    }
    // A missing view cannot be grown: there is nothing to keep.
    if (view_ == nullptr || mappedSize_ == 0) {
        return false;
    }
    const uint64_t oldSize = mappedSize_;
    const uint64_t oldWritten = writtenSize_;
    const uint64_t byStep = oldSize + std::max(expandStep_, needed - oldSize);
    uint64_t geometric = oldSize;
    while (geometric < needed) {
        const double grown = static_cast<double>(geometric) * 1.5;
        if (grown >= static_cast<double>(std::numeric_limits<uint64_t>::max())) {
            return false;  // no mapping of that size can exist
        }
        geometric = std::max(geometric + 1, static_cast<uint64_t>(grown));
    }
    const uint64_t newSize = std::max(byStep, geometric);

    // Where the view already spans the new size, the file grows under it.
    const uint64_t aligned = alignedSize(newSize);
    if (aligned != 0 && viewSpans(aligned) && setFileLength(aligned)) {
        mappedSize_ = newSize;
        return true;
    }
    unmapFile();
    if (!mapFile(newSize)) {
        // Put the previous mapping back so that the bytes written stay reachable;
        // if that fails too, the writer is left without a view.
        if (!mapFile(oldSize)) {
            mappedSize_ = 0;
        }
        writtenSize_ = oldWritten;
        return false;
    }
    mappedSize_ = newSize;
    return true;
}

bool AsyncFileWriter::PlatformImpl::flushWritten() {
    if (view_ == nullptr || writtenSize_ == 0) {
        return true;
    }
    return flushView(writtenSize_);
}

bool AsyncFileWriter::PlatformImpl::truncateAndClose() {
    if (!isOpen()) {
        return true;
    }
    const bool cut = setFileLength(writtenSize_);
    const bool closed = closeFile();
    return cut && closed;
}

}  // namespace ksq
