#pragma once

namespace veltrano::sim {

// The analyses the instrument runs, numbered as the library numbers them. One
// runs at a time; each kind has its own stop command.
enum class AnalysisKind : int {
    TimeOfFlight = 1,
    AD = 2,
    TimeOverThreshold = 3,
    EnergySpectrum = 4,
    ConformEnergySpectrum = 5,
    Period = 6,
    StartStop = 7,
    NCoincidence = 8,
    Autocorrelation = 9,
};

}  // namespace veltrano::sim
