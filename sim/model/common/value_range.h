#pragma once

#include <cstdint>

namespace veltrano::sim {

// Inclusive range of the values a setting accepts.
struct IntRange {
    std::int64_t min;
    std::int64_t max;

    bool contains(std::int64_t v) const { return v >= min && v <= max; }
};

}  // namespace veltrano::sim
