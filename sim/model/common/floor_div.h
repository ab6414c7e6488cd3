#pragma once

#include <cstdint>

namespace veltrano::sim {

// a / b rounded towards minus infinity (b != 0), for bin indices of negative values.
inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace veltrano::sim
