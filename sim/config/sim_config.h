#pragma once

#include <cstddef>
#include <string>

#include "sim/model/settings/instrument_config.h"

namespace veltrano::sim {

inline constexpr int kDefaultPort = 6789;
inline constexpr std::size_t kDefaultMaxLineBytes = 1 << 20;

// Everything the simulator program is configured with.
struct SimConfig {
    InstrumentConfig instrument;
    int port = kDefaultPort;
    std::size_t maxLineBytes = kDefaultMaxLineBytes;
};

// Reads the simulator's INI file (keys and defaults in sim/README.md); an empty
// path gives the defaults. Throws std::runtime_error naming the file and the
// offending key when the file cannot be read or a value is unusable.
SimConfig loadSimConfig(const std::string& path);

// Reads the configuration from INI text (what loadSimConfig does after reading the file).
SimConfig parseSimConfig(const std::string& iniText, const std::string& origin);

}  // namespace veltrano::sim
