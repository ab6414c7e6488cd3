#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/model/analyses/point_list.h"

namespace veltrano::sim {

// Counts of integer time differences (ps) in bins of equal width. Only bins
// whose every integer lies inside the range exist; a difference outside them
// is not counted.
class Histogram {
public:
    // Bins centred on the multiples of width_ps (bin j holds [j w - w/2, j w + w/2)),
    // inside -halfRangePs .. halfRangePs. Time-of-flight and g2 curves.
    static Histogram symmetric(std::int64_t halfRangePs, std::int64_t widthPs);
    // Bins [k w, (k + 1) w) from 0 up to rangePs (excluded). Start-stop histograms.
    static Histogram fromZero(std::int64_t rangePs, std::int64_t widthPs);

    void add(std::int64_t differencePs);
    void clear();

    std::int64_t width() const { return width_; }
    std::size_t binCount() const { return counts_.size(); }
    // Where bin i sits: its centre (symmetric) or its lower edge (from zero), ps.
    std::int64_t position(std::size_t i) const;
    std::int64_t count(std::size_t i) const { return counts_[i]; }
    // (position, count x scale) of every bin.
    PointList points(double scale = 1.0) const;

private:
    Histogram(bool centred, std::int64_t width, std::int64_t firstIndex, std::size_t bins);

    bool centred_;
    std::int64_t width_;
    std::int64_t firstIndex_;  // the index j (or k) of bin 0
    std::vector<std::int64_t> counts_;
};

// The smallest power of two (ps) that spans `spanPs` in at most `maxBins` bins.
std::int64_t powerOfTwoWidth(std::int64_t spanPs, std::int64_t maxBins);

}  // namespace veltrano::sim
