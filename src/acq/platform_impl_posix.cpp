// The system calls of a volume's mapping on POSIX systems: open with
// O_CREAT under an exclusive flock, then emptied, ftruncate (with the blocks reserved, so that a full disk
// is a failed growth instead of a fault while copying into the view),
// mmap MAP_SHARED, msync of the written prefix, munmap, and the page size from
// sysconf. Paths are UTF-8, which is what these calls take here.
//
// msync is asynchronous: bytes in a shared mapping are part of the file for
// every reader at once and outlive the process; the flush schedules their
// write-back without holding the writer (and the acquisition that feeds it)
// until the disk has them.
#if !defined(_WIN32)

#if !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // 64-bit file lengths in a 32-bit build too
#endif

#include "acq/platform_impl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace ksq {

namespace {

int descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}

bool fitsFileOffset(uint64_t length) {
    return length <= static_cast<uint64_t>(std::numeric_limits<off_t>::max());
}

// Reserves the blocks of [from, to) where the file system can; a file system
// that cannot reserve still gets its length set, as with ftruncate alone.
bool reserveBlocks(int fd, uint64_t from, uint64_t to) {
    int rc = 0;
    do {
        rc = posix_fallocate(fd, static_cast<off_t>(from), static_cast<off_t>(to - from));
    } while (rc == EINTR);
    return rc == 0 || rc == EOPNOTSUPP || rc == EINVAL;
}

}  // namespace

int32_t AsyncFileWriter::PlatformImpl::systemPageSize() {
    const long size = sysconf(_SC_PAGESIZE);
    if (size <= 0 || size > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    return static_cast<int32_t>(size);
}

// A volume is opened for writing by one writer at a time: a second writer
// given the same name (another session, another acquisition of this process or
// another process using this library) must not truncate the file under the
// first one's mapping, whose next write would then end the process with
// SIGBUS. The lock is taken before the file is emptied and goes with close.
bool AsyncFileWriter::PlatformImpl::createFile(const std::filesystem::path& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    int rc = -1;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        do {
            rc = ::ftruncate(fd, 0);
        } while (rc != 0 && errno == EINTR);
    }
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    fileHandle_ = fd;
    return true;
}

bool AsyncFileWriter::PlatformImpl::setFileLength(uint64_t length) {
    if (!fitsFileOffset(length)) {
        return false;
    }
    const int fd = descriptor(fileHandle_);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    const auto current = static_cast<uint64_t>(status.st_size);
    int rc = 0;
    do {
        rc = ::ftruncate(fd, static_cast<off_t>(length));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        return false;
    }
    if (length > current && !reserveBlocks(fd, current, length)) {
        // Give the length back: the caller keeps the smaller mapping.
        (void)::ftruncate(fd, static_cast<off_t>(current));
        return false;
    }
    return true;
}

// Address space a view spans beyond its file on 64-bit systems, so that the
// file can grow under it: a growing volume is mapped again only past this
// (each time spanning twice as much). Only the file's own length is ever
// touched; the rest is address space, not memory.
constexpr uint64_t kViewSpan = sizeof(void*) >= 8 ? uint64_t{1} << 30 : 0;

bool AsyncFileWriter::PlatformImpl::mapView(uint64_t length) {
    const auto map = [&](uint64_t bytes) {
        return bytes > std::numeric_limits<size_t>::max()
                   ? MAP_FAILED
                   : ::mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED,
                            descriptor(fileHandle_), 0);
    };
    uint64_t span = std::max({length, kViewSpan, kViewSpan == 0 ? 0 : 2 * viewSpan_});
    void* address = map(span);
    if (address == MAP_FAILED && span > length) {
        span = length;  // short of address space: the file's own length will do
        address = map(span);
    }
    if (address == MAP_FAILED) {
        return false;
    }
#if defined(MADV_HUGEPAGE)
    // Without the hint the file's pages near its end come in 4 KiB pieces, and
    // a volume that grows by steps is all near its end: writing 1 GiB through
    // such a view took eight times as long as with large pages, most of it in
    // page faults. A hint only; a kernel without large file pages ignores it.
    (void)::madvise(address, static_cast<size_t>(span), MADV_HUGEPAGE);
#endif
    view_ = static_cast<char*>(address);
    viewSpan_ = span;
    mappingHandle_ = nullptr;  // POSIX has no separate mapping object
    return true;
}

bool AsyncFileWriter::PlatformImpl::viewSpans(uint64_t length) const {
    return view_ != nullptr && length <= viewSpan_;
}

void AsyncFileWriter::PlatformImpl::prepareWrite(uint64_t offset, uint64_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    // One call maps the pages writable instead of one fault per page or folio.
    const auto page = static_cast<uint64_t>(pageSize_);
    const uint64_t start = offset - offset % page;
    (void)::madvise(view_ + start, static_cast<size_t>(offset + bytes - start), MADV_POPULATE_WRITE);
#else
    (void)offset;
    (void)bytes;
#endif
}

bool AsyncFileWriter::PlatformImpl::flushView(uint64_t bytes) {
    return ::msync(view_, static_cast<size_t>(bytes), MS_ASYNC) == 0;
}

void AsyncFileWriter::PlatformImpl::releaseView(uint64_t length) {
    ::munmap(view_, static_cast<size_t>(std::max(length, viewSpan_)));
    mappingHandle_ = nullptr;
}

bool AsyncFileWriter::PlatformImpl::closeFile() {
    const int rc = ::close(descriptor(fileHandle_));
    fileHandle_ = -1;
    // close(2) may report EINTR after releasing the descriptor; it is closed.
    return rc == 0 || errno == EINTR;
}

}  // namespace ksq

#endif  // !_WIN32
