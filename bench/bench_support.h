#pragma once
// Small helpers shared by the benchmark programs: wall-clock timing, a scratch
// directory removed at exit, deterministic data and throughput printing.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace velbench {

constexpr uint64_t kMiB = 1048576;

// Seconds taken by f().
template <class F>
double timeSeconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of runs timings of f().
template <class F>
double bestOf(int runs, F&& f) {
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const double seconds = timeSeconds(f);
        best = seconds < best ? seconds : best;
    }
    return best;
}

// Bytes that do not compress or repeat in any helpful way.
// Minor page faults of the whole process so far: first touches of memory,
// which cost several microseconds each on a virtual machine and can dominate
// a figure.
inline uint64_t minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_minflt);
}

inline std::vector<unsigned char> noiseBytes(size_t size) {
    std::vector<unsigned char> bytes(size);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<unsigned char>(state);
    }
    return bytes;
}

inline void printRate(const char* label, uint64_t bytes, double seconds) {
    std::printf("  %-44s %8.3f s  %9.1f MiB/s\n", label, seconds,
                static_cast<double>(bytes) / static_cast<double>(kMiB) / seconds);
}

inline void printRatio(const char* label, double ratio, double target) {
    std::printf("  %-44s %8.2fx  (target >= %.2fx: %s)\n", label, ratio, target,
                ratio >= target ? "met" : "NOT met");
}

// One line of the runner's table (bench/run.sh collects the lines that begin
// with "ROW" and a tab): benchmark, our figure, the baseline's figure, the
// ratio, the target and whether it is met ("yes", "NO" or "-").
inline void printTableRow(const std::string& benchmark, const std::string& ours, const std::string& baseline,
                          const std::string& ratio, const std::string& target, const std::string& met) {
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\n", benchmark.c_str(), ours.c_str(), baseline.c_str(), ratio.c_str(),
                target.c_str(), met.c_str());
}

// printf-style formatting into a string, for table cells.
template <class... Args>
std::string cell(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// A directory under the system's temporary folder, removed with its contents.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace velbench
