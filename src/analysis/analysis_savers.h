#pragma once
// The savers the common stop routine calls for the analyses that save more
// than plain process data. Each returns 0 or -1 (the status of its last save).

#include <cstdint>

namespace vel::analysis {

int saveConformEsResults(uint64_t handle);   // kind 5
int saveStartStopResults(uint64_t handle);   // kind 7
int saveNCoincidenceResults(uint64_t handle); // kind 8

}  // namespace vel::analysis
