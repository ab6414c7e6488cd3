#pragma once
// What the reliability programs share: the build flavour (sanitizers and the
// 32-bit build make everything slower, so the runs are cut down there), run
// lengths taken from the environment, and a quiet instrument configuration.

#include "support/sim_service.h"

#include <cstdlib>

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

}  // namespace veltest
