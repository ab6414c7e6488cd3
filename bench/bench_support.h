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
// with "ROW" and a tab, takes the median of its runs and judges the target):
// benchmark, our figure, the baseline's figure, what the baseline is, where
// the data come from, the ratio and the target (">= 0.85x" is judged on the
// ratio, "< 256 MiB" on our figure; "-" when there is none).
inline void printTableRow(const std::string& benchmark, const std::string& ours, const std::string& baseline,
                          const std::string& baselineIs, const std::string& source, const std::string& ratio,
                          const std::string& target) {
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", benchmark.c_str(), ours.c_str(), baseline.c_str(),
                baselineIs.c_str(), source.c_str(), ratio.c_str(), target.c_str());
}

// A row of two rates in MiB/s whose ratio (ours / baseline) has a target.
inline void printRateRow(const std::string& benchmark, uint64_t bytes, double oursSeconds, double baselineSeconds,
                         const std::string& baselineIs, const std::string& source, const std::string& target) {
    const auto rate = [&](double seconds) { return static_cast<double>(bytes) / static_cast<double>(kMiB) / seconds; };
    char ours[64];
    char base[64];
    char ratio[32];
    std::snprintf(ours, sizeof ours, "%.1f MiB/s", rate(oursSeconds));
    std::snprintf(base, sizeof base, "%.1f MiB/s", rate(baselineSeconds));
    std::snprintf(ratio, sizeof ratio, "%.3fx", baselineSeconds / oursSeconds);
    printTableRow(benchmark, ours, base, baselineIs, source, ratio, target);
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
