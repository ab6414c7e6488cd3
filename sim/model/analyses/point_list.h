#pragma once

#include <cstdint>
#include <vector>

namespace veltrano::sim {

// One point of an analysis result: a histogram bin, a curve sample, a pair of
// time differences.
struct Point {
    double x;
    double y;
};
using PointList = std::vector<Point>;

// The payload of every point-list fetch: the count as uint32, then x and y of
// each point as IEEE-754 doubles, all little-endian.
std::vector<std::uint8_t> encodePointList(const PointList& points);

}  // namespace veltrano::sim
