#pragma once
// Mapping state of one volume of an AsyncFileWriter. The sizing rules (page
// rounding, growth) are portable and live in platform_impl.cpp; the operating
// system calls (create the file, set its length, map, flush, unmap, close,
// page size) are the private primitives below, one source file per platform.
// Not thread-safe: the writer calls it under its writer mutex.
//
// Invariant while a volume is open: written size <= mapped size <= the file's
// length; the bytes beyond written size are zero until the file is cut back.

#include "acq/async_file_writer.h"

#include <cstdint>
#include <filesystem>

namespace ksq {

class AsyncFileWriter::PlatformImpl {
public:
    PlatformImpl();
    // Flushes the written bytes, unmaps and closes; does not cut the file back.
    ~PlatformImpl();

    PlatformImpl(const PlatformImpl&) = delete;
    PlatformImpl& operator=(const PlatformImpl&) = delete;

    // Creates the file for reading and writing, replacing an existing one.
    bool openFile(const std::filesystem::path& path);
    bool isOpen() const;
    // size rounded up to a multiple of the page size (0 stays 0).
    uint64_t alignedSize(uint64_t size) const;
    // Sets the file's length to alignedSize(size) and maps all of it writable.
    // The written size is kept.
    bool mapFile(uint64_t size);
    // Flushes the written bytes and unmaps the view.
    void unmapFile();
    // Grows the mapping to hold at least needed bytes: the larger of mapped
    // size + max(expand step, needed - mapped size) and mapped size times 1.5
    // until it holds needed. On failure the old mapping is restored (when the
    // system allows) and false is returned.
    bool safeExpand(uint64_t needed);
    // Makes the view's pages in [offset, offset + bytes) ready to be written
    // in one go, where the system can; copying in works either way.
    void prepareWrite(uint64_t offset, uint64_t bytes);
    // Asks the system to write the written prefix of the view to the file.
    bool flushWritten();
    // Cuts the file to the written size and closes it. False when either fails.
    bool truncateAndClose();

    char* view() const { return view_; }
    uint64_t mappedSize() const { return mappedSize_; }
    uint64_t writtenSize() const { return writtenSize_; }
    void advanceWritten(uint64_t bytes) { writtenSize_ += bytes; }
    uint64_t expandStep() const { return expandStep_; }
    void setExpandStep(uint64_t step) { expandStep_ = step; }

private:
    // Per-platform primitives.
    static int32_t systemPageSize();
    bool createFile(const std::filesystem::path& path);
    bool setFileLength(uint64_t length);
    // Creates the mapping object and a writable view of length bytes from
    // offset 0; on failure nothing stays mapped. A platform may let the view
    // span more address space than the file has bytes (see viewSpans).
    bool mapView(uint64_t length);
    // True when the view already spans length bytes of address space, so that
    // growing the file to length grows the mapping in place (no unmapping, and
    // the pages already mapped stay so). A platform whose views cover exactly
    // the file returns false; the growth then maps the file again.
    bool viewSpans(uint64_t length) const;
    bool flushView(uint64_t bytes);
    // Unmaps the view and closes the mapping object.
    void releaseView(uint64_t length);
    bool closeFile();

    // Platform handles: a file descriptor or a HANDLE value; the mapping
    // object where the platform has one.
    intptr_t fileHandle_;
    void* mappingHandle_ = nullptr;
    char* view_ = nullptr;
    // Address space the view spans, at least its mapped size rounded to a page
    // (used by platforms whose viewSpans can be true).
    uint64_t viewSpan_ = 0;
    // As requested; the system's mapping is this rounded up to a page.
    uint64_t mappedSize_ = 0;
    uint64_t writtenSize_ = 0;
    uint64_t expandStep_ = AsyncFileWriter::kDefaultMapSize;
    int32_t pageSize_ = 4096;
};

}  // namespace ksq
