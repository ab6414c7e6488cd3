#pragma once
// Large arrays the library fills for its caller (the point arrays of
// analysis fetches) are touched once, page by page, right after they are
// allocated.
// Asking for 2 MiB pages for them turns 512 first-touch page faults into one:
// on a virtual machine each fault costs several microseconds, and a
// 16 MB array then spent most of its fetch time faulting.

#include <cstddef>

namespace ksq {

// Hints that the whole 2 MiB pages inside [begin, begin + bytes) should be
// backed by huge pages; the partial pages at either end are left alone, so
// no memory outside the range is affected. Call it before the range is first
// written. A hint only: does nothing where the system has no such pages.
void adviseHugePages(void* begin, size_t bytes) noexcept;

}  // namespace ksq
