// The huge-page hint covers exactly the whole 2 MiB pages inside the range it
// is given: the kernel marks advised memory with the "hg" flag in
// /proc/self/smaps, so the marked addresses show what was advised.

#include "core/huge_pages.h"

#include <gtest/gtest.h>

#if defined(_WIN32)

// The hint does nothing on Windows, and there is no smaps to read it back.
TEST(HugePageHint, CoversTheWholeHugePagesInsideTheRangeAndNothingElse) {
    GTEST_SKIP() << "not on Windows: the huge-page hint and /proc/self/smaps are Linux's";
}

#else

#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

// The address ranges of this process's mappings that carry the hint.
std::vector<std::pair<uintptr_t, uintptr_t>> hintedRanges() {
    std::ifstream smaps("/proc/self/smaps");
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
    std::pair<uintptr_t, uintptr_t> current{};
    std::string line;
    while (std::getline(smaps, line)) {
        const size_t dash = line.find('-');
        const size_t space = line.find(' ');
        if (dash != std::string::npos && space != std::string::npos && dash < space &&
            line.find_first_not_of("0123456789abcdef") == dash) {
            current = {std::stoull(line.substr(0, dash), nullptr, 16),
                       std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16)};
        } else if (line.rfind("VmFlags:", 0) == 0) {
            std::istringstream flags(line.substr(8));
            std::string flag;
            while (flags >> flag) {
                if (flag == "hg") {
                    ranges.push_back(current);
                }
            }
        }
    }
    return ranges;
}

// A reserved stretch of address space starting on a huge-page boundary.
class AlignedMapping {
public:
    explicit AlignedMapping(size_t bytes) : size_(bytes + kHugePage) {
        raw_ = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw_ != MAP_FAILED) {
            base_ = (reinterpret_cast<uintptr_t>(raw_) + kHugePage - 1) & ~(kHugePage - 1);
        }
    }
    ~AlignedMapping() {
        if (raw_ != MAP_FAILED) {
            ::munmap(raw_, size_);
        }
    }
    AlignedMapping(const AlignedMapping&) = delete;
    AlignedMapping& operator=(const AlignedMapping&) = delete;
    bool ok() const { return raw_ != MAP_FAILED; }
    uintptr_t base() const { return base_; }

private:
    size_t size_;
    void* raw_ = MAP_FAILED;
    uintptr_t base_ = 0;
};

bool hinted(uintptr_t begin, uintptr_t end) {
    for (const auto& [from, to] : hintedRanges()) {
        if (from <= begin && end <= to) {
            return true;
        }
    }
    return false;
}

bool anyHinted(uintptr_t begin, uintptr_t end) {
    for (const auto& [from, to] : hintedRanges()) {
        if (from < end && begin < to) {
            return true;
        }
    }
    return false;
}

// Kernels without huge pages refuse the hint, and an emulator may take it
// without showing it; the tests need to see it.
bool systemShowsHints() {
    AlignedMapping probe(kHugePage);
    return probe.ok() && ::madvise(reinterpret_cast<void*>(probe.base()), kHugePage, MADV_HUGEPAGE) == 0 &&
           hinted(probe.base(), probe.base() + kHugePage);
}

TEST(HugePageHint, CoversTheWholeHugePagesInsideTheRangeAndNothingElse) {
    if (!systemShowsHints()) {
        GTEST_SKIP() << "this system does not show huge-page hints";
    }
    AlignedMapping mapping(6 * kHugePage);
    ASSERT_TRUE(mapping.ok());
    const uintptr_t base = mapping.base();
    // From inside the first huge page to inside the fifth: pages 2 to 4 whole.
    ksq::adviseHugePages(reinterpret_cast<void*>(base + 12345), 4 * kHugePage);
    EXPECT_TRUE(hinted(base + kHugePage, base + 4 * kHugePage));
    EXPECT_FALSE(anyHinted(base, base + kHugePage));
    EXPECT_FALSE(anyHinted(base + 4 * kHugePage, base + 6 * kHugePage));
}

TEST(HugePageHint, LeavesRangesWithoutAWholeHugePageAlone) {
    if (!systemShowsHints()) {
        GTEST_SKIP() << "this system does not show huge-page hints";
    }
    AlignedMapping mapping(4 * kHugePage);
    ASSERT_TRUE(mapping.ok());
    const uintptr_t base = mapping.base();
    // Almost two huge pages, straddling a boundary: no whole page inside.
    ksq::adviseHugePages(reinterpret_cast<void*>(base + 4096), 2 * kHugePage - 8192);
    ksq::adviseHugePages(reinterpret_cast<void*>(base), kHugePage - 1);
    ksq::adviseHugePages(nullptr, 0);
    // A range that would run past the end of the address space.
    ksq::adviseHugePages(reinterpret_cast<void*>(UINTPTR_MAX - kHugePage), 4 * kHugePage);
    EXPECT_FALSE(anyHinted(base, base + 4 * kHugePage));
}

}  // namespace

#endif  // _WIN32
