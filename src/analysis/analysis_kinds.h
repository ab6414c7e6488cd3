#pragma once
// The analysis kinds. The kind travels to the stop timer and to the common
// stop routine, which picks the stop command and the results to save.

namespace vel::analysis {

enum class Kind : int {
    TimeOfFlight = 1,
    Ad = 2,
    TimeOverThreshold = 3,
    EnergySpectrum = 4,
    ConformEnergySpectrum = 5,
    Period = 6,
    StartStop = 7,
    NCoincidences = 8,
    Autocorrelation = 9,
};

// "stop_tof_analysis" ... "stop_autocorrelation_analysis"; null for an unknown kind.
const char* stopCommandOf(Kind kind) noexcept;

// The kind's number, as the log lines show it.
constexpr int kindNumber(Kind kind) noexcept {
    return static_cast<int>(kind);
}

}  // namespace vel::analysis
