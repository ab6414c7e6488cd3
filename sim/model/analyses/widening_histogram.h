#pragma once

#include <cstdint>
#include <map>

#include "sim/model/analyses/point_list.h"

namespace veltrano::sim {

// Counts of integer values (periods and pulse widths in ps, pulse areas in ADC
// units) in bins [k w, (k + 1) w) of a power-of-two width w that starts at 1 and
// doubles (merging neighbours) whenever more than kMaxBins bins hold counts, so
// any spread of values fits.
class WideningHistogram {
public:
    static constexpr std::size_t kMaxBins = 4096;

    void add(std::int64_t value);
    void clear();
    std::int64_t width() const { return width_; }
    // (lower edge, count x scale) of every bin holding counts, ascending.
    PointList points(double scale = 1.0) const;

private:
    std::int64_t width_ = 1;
    std::map<std::int64_t, std::int64_t> counts_;  // bin index k -> count
};

}  // namespace veltrano::sim
