// The system calls of a volume's mapping on Windows: CreateFileW (replacing
// an existing file, shared for reading and writing) under an exclusive
// LockFileEx, SetFilePointerEx with SetEndOfFile, CreateFileMappingW
// (read-write pages with the reserve attribute), MapViewOfFile
// (FILE_MAP_WRITE), FlushViewOfFile of the written prefix, UnmapViewOfFile,
// CloseHandle, and the page size from GetSystemInfo. Paths reach the system
// as UTF-16 (std::filesystem::path is wide here).
#if defined(_WIN32)

#include "acq/platform_impl.h"

#include <windows.h>

#include <limits>

namespace ksq {

namespace {

// PAGE_READWRITE with SEC_RESERVE: the pages of the mapping are committed
// as they are written.
constexpr DWORD kMappingProtection = PAGE_READWRITE | SEC_RESERVE;  // 0x4000004

HANDLE fileOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The whole file's range for LockFileEx (offset 0, every byte).
constexpr DWORD kWholeFileLow = 0xFFFFFFFF;
constexpr DWORD kWholeFileHigh = 0xFFFFFFFF;

}  // namespace

int32_t AsyncFileWriter::PlatformImpl::systemPageSize() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    if (info.dwPageSize == 0 || info.dwPageSize > static_cast<DWORD>(std::numeric_limits<int32_t>::max())) {
        return 0;
    }
    return static_cast<int32_t>(info.dwPageSize);
}

// A volume is opened for writing by one writer at a time: a second writer
// given the same name must not empty the file under the first one's view. The
// file is therefore opened without truncation, locked exclusively (failing at
// once when another writer holds it) and only then emptied; the lock goes
// with CloseHandle.
bool AsyncFileWriter::PlatformImpl::createFile(const std::filesystem::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    OVERLAPPED whole{};
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeFileLow,
                                   kWholeFileHigh, &whole) != 0;
    LARGE_INTEGER start{};
    if (!locked || SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == 0 || SetEndOfFile(file) == 0) {
        CloseHandle(file);
        return false;
    }
    fileHandle_ = reinterpret_cast<intptr_t>(file);
    return true;
}

bool AsyncFileWriter::PlatformImpl::setFileLength(uint64_t length) {
    if (length > static_cast<uint64_t>(std::numeric_limits<LONGLONG>::max())) {
        return false;
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(length);
    const HANDLE file = fileOf(fileHandle_);
    return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file) != 0;
}

bool AsyncFileWriter::PlatformImpl::mapView(uint64_t length) {
    const auto high = static_cast<DWORD>(length >> 32);
    const auto low = static_cast<DWORD>(length & 0xFFFFFFFFu);
    const HANDLE mapping = CreateFileMappingW(fileOf(fileHandle_), nullptr, kMappingProtection, high, low, nullptr);
    if (mapping == nullptr) {
        return false;
    }
    void* address = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(length));
    if (address == nullptr) {
        CloseHandle(mapping);
        mappingHandle_ = nullptr;
        return false;
    }
    mappingHandle_ = mapping;
    view_ = static_cast<char*>(address);
    return true;
}

// Large pages need a privilege ordinary users lack and cannot back a file
// mapping: there is nothing to prepare.
void AsyncFileWriter::PlatformImpl::prepareWrite(uint64_t offset, uint64_t bytes) {
    (void)offset;
    (void)bytes;
}

// A view covers exactly the mapped part of the file: growth maps it again.
bool AsyncFileWriter::PlatformImpl::viewSpans(uint64_t) const {
    return false;
}

bool AsyncFileWriter::PlatformImpl::flushView(uint64_t bytes) {
    return FlushViewOfFile(view_, static_cast<SIZE_T>(bytes)) != 0;
}

void AsyncFileWriter::PlatformImpl::releaseView(uint64_t length) {
    (void)length;
    UnmapViewOfFile(view_);
    if (mappingHandle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(mappingHandle_));
        mappingHandle_ = nullptr;
    }
}

bool AsyncFileWriter::PlatformImpl::closeFile() {
    const bool closed = CloseHandle(fileOf(fileHandle_)) != 0;
    fileHandle_ = -1;
    return closed;
}

}  // namespace ksq

#endif  // _WIN32
