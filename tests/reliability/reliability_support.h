#pragma once
// What the reliability programs share: the build flavour (sanitizers and the
// 32-bit build make everything slower, so the runs are cut down there), run
// lengths taken from the environment, a simulator started with a scenario's
// own configuration, and a query connection of the test's own beside the
// library's sessions.

#include "support/service_query.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELTRANO_RELIABILITY_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELTRANO_RELIABILITY_SANITIZED 1
#endif

namespace veltest {

#if defined(VELTRANO_RELIABILITY_SANITIZED)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
// Sanitizer builds run several times slower and the 32-bit build has a small
// address space: both get the short versions of the long runs.
inline constexpr bool kReducedBuild = kSanitizedBuild || sizeof(void*) == 4;

// A positive whole number from the environment, or the fallback.
inline long long envCount(const char* name, long long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return (end != nullptr && *end == '\0' && value > 0) ? value : fallback;
}

// A quiet instrument: a 10 kHz clock for the period analysis, no pair source
// and a little background on every channel, so the raw stream is small but
// steady and even a sanitizer build keeps pace with the wall clock.
inline const char* const kQuietClockConfig =
    "[clock]\nfrequency_hz = 10000\n"
    "[pairs]\ncount = 0\n"
    "[background]\nrate_hz = 2000\n";
inline constexpr double kQuietClockPeriodPs = 1e8;

// FNV-1a 64, fed in pieces, as the simulator reports it: 16 lower-case hex digits.
class Fnv1a64 {
public:
    void update(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        uint64_t hash = hash_;
        for (std::size_t i = 0; i < size; ++i) {
            hash = (hash ^ bytes[i]) * 0x100000001b3ull;
        }
        hash_ = hash;
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
        return text;
    }

private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

// The simulator started with the given INI text, and what a session needs to
// reach it: the library's INI file and one base directory for every session.
class ConfiguredSim {
public:
    explicit ConfiguredSim(const std::string& simConfig) {
        const auto configFile = writeTextFile(dir_.path() / "sim.ini", simConfig);
        sim_ = std::make_unique<vtest::SimProcess>(VELTRANO_SIM_EXECUTABLE,
                                                   std::vector<std::string>{"--config", configFile.string()});
        libraryConfig_ = vtest::writeLibraryConfig((dir_.path() / "library").string(), sim_->port());
    }

    // A new session on the simulator; 0 when it cannot be opened.
    uint64_t open() const { return ci_create(libraryConfig_.c_str(), dir_.str().c_str()); }
    int port() const { return sim_->port(); }
    const std::filesystem::path& dir() const { return dir_.path(); }
    // Ends the simulator now, as if the service went away.
    void stop() { sim_->stop(); }

private:
    TempDir dir_;
    std::unique_ptr<vtest::SimProcess> sim_;
    std::string libraryConfig_;
};

}  // namespace veltest
