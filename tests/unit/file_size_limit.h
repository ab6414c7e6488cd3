#pragma once
// Caps the size of files this process may write (RLIMIT_FSIZE) for the life of
// the object, so tests can make a file system refuse to grow a file. Growing a
// file past the cap then fails with EFBIG; SIGXFSZ is ignored meanwhile.

#include <cstdint>

#if defined(_WIN32)

namespace veltest {

// Windows has no such cap for a process.
class FileSizeLimit {
public:
    static constexpr bool kSupported = false;
    explicit FileSizeLimit(uint64_t) {}
    bool active() const { return false; }
};

}  // namespace veltest

#else

#include <sys/resource.h>

#include <csignal>

namespace veltest {

class FileSizeLimit {
public:
    static constexpr bool kSupported = true;
    explicit FileSizeLimit(uint64_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit capped = previous_;
        capped.rlim_cur = static_cast<rlim_t>(bytes);
        active_ = setrlimit(RLIMIT_FSIZE, &capped) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace veltest

#endif  // _WIN32
