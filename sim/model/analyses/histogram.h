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
    // inside -half_range_ps .. half_range_ps. Time-of-flight and g2 curves.
    static Histogram symmetric(std::int64_t half_range_ps, std::int64_t width_ps);
    // Bins [k w, (k + 1) w) from 0 up to range_ps (excluded). Start-stop histograms.
    static Histogram fromZero(std::int64_t range_ps, std::int64_t width_ps);

    void add(std::int64_t difference_ps);
    void clear();

    std::int64_t width() const { return width_; }
    std::size_t binCount() const { return counts_.size(); }
    // Where bin i sits: its centre (symmetric) or its lower edge (from zero), ps.
    std::int64_t position(std::size_t i) const;
    std::int64_t count(std::size_t i) const { return counts_[i]; }
    // (position, count x scale) of every bin.
    PointList points(double scale = 1.0) const;

private:
    Histogram(bool centred, std::int64_t width, std::int64_t first_index, std::size_t bins);

    bool centred_;
    std::int64_t width_;
    std::int64_t first_index_;  // the index j (or k) of bin 0
    std::vector<std::int64_t> counts_;
};

// The smallest power of two (ps) that spans `span_ps` in at most `max_bins` bins.
std::int64_t powerOfTwoWidth(std::int64_t span_ps, std::int64_t max_bins);

}  // namespace veltrano::sim
