#pragma once
// The analysis kinds. The kind travels as a plain int to the stop timer and to
// the common stop routine, which picks the stop command and the results to save.

namespace vel::analysis {

enum Kind : int {
    kTimeOfFlight = 1,
    kAd = 2,
    kTimeOverThreshold = 3,
    kEnergySpectrum = 4,
    kConformEnergySpectrum = 5,
    kPeriod = 6,
    kStartStop = 7,
    kNCoincidences = 8,
    kAutocorrelation = 9,
};

// "stop_tof_analysis" ... "stop_autocorrelation_analysis"; null for an unknown kind.
const char* stopCommandOf(int kind) noexcept;

}  // namespace vel::analysis
