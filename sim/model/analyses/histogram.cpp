#include "sim/model/analyses/histogram.h"

#include <algorithm>

#include "sim/model/common/floor_div.h"

namespace veltrano::sim {

Histogram::Histogram(bool centred, std::int64_t width, std::int64_t first_index, std::size_t bins)
    : centred_(centred), width_(width), first_index_(first_index), counts_(bins, 0) {}

Histogram Histogram::symmetric(std::int64_t half_range_ps, std::int64_t width_ps) {
    const std::int64_t w = std::max<std::int64_t>(width_ps, 1);
    // Bin j holds the integers j w - floor(w / 2) .. j w + ceil(w / 2) - 1; the
    // outermost whole bin is the last whose highest integer is within the range.
    const std::int64_t j_max = floorDiv(half_range_ps + 1 - (w + 1) / 2, w);
    if (j_max < 0) return Histogram(true, w, 0, 0);
    return Histogram(true, w, -j_max, static_cast<std::size_t>(2 * j_max + 1));
}

Histogram Histogram::fromZero(std::int64_t range_ps, std::int64_t width_ps) {
    const std::int64_t w = std::max<std::int64_t>(width_ps, 1);
    return Histogram(false, w, 0, static_cast<std::size_t>(std::max<std::int64_t>(range_ps, 0) / w));
}

void Histogram::add(std::int64_t difference_ps) {
    const std::int64_t index = centred_ ? floorDiv(2 * difference_ps + width_, 2 * width_) : floorDiv(difference_ps, width_);
    const std::int64_t slot = index - first_index_;
    if (slot >= 0 && slot < static_cast<std::int64_t>(counts_.size())) ++counts_[static_cast<std::size_t>(slot)];
}

void Histogram::clear() { std::fill(counts_.begin(), counts_.end(), 0); }

std::int64_t Histogram::position(std::size_t i) const {
    return (first_index_ + static_cast<std::int64_t>(i)) * width_;
}

PointList Histogram::points(double scale) const {
    PointList out;
    out.reserve(counts_.size());
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        out.push_back({static_cast<double>(position(i)), static_cast<double>(counts_[i]) * scale});
    }
    return out;
}

std::int64_t powerOfTwoWidth(std::int64_t span_ps, std::int64_t max_bins) {
    std::int64_t width = 1;
    while (span_ps / width > max_bins) width *= 2;
    return width;
}

}  // namespace veltrano::sim
