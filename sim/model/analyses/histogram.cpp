#include "sim/model/analyses/histogram.h"

#include <algorithm>

#include "sim/model/common/floor_div.h"

namespace veltrano::sim {

Histogram::Histogram(bool centred, std::int64_t width, std::int64_t firstIndex, std::size_t bins)
    : centred_(centred), width_(width), firstIndex_(firstIndex), counts_(bins, 0) {}

Histogram Histogram::symmetric(std::int64_t halfRangePs, std::int64_t widthPs) {
    const std::int64_t w = std::max<std::int64_t>(widthPs, 1);
    // Bin j holds the integers j w - floor(w / 2) .. j w + ceil(w / 2) - 1; the
    // outermost whole bin is the last whose highest integer is within the range.
    const std::int64_t jMax = floorDiv(halfRangePs + 1 - (w + 1) / 2, w);
    if (jMax < 0) return Histogram(true, w, 0, 0);
    return Histogram(true, w, -jMax, static_cast<std::size_t>(2 * jMax + 1));
}

Histogram Histogram::fromZero(std::int64_t rangePs, std::int64_t widthPs) {
    const std::int64_t w = std::max<std::int64_t>(widthPs, 1);
    return Histogram(false, w, 0, static_cast<std::size_t>(std::max<std::int64_t>(rangePs, 0) / w));
}

void Histogram::add(std::int64_t differencePs) {
    const std::int64_t index = centred_ ? floorDiv(2 * differencePs + width_, 2 * width_) : floorDiv(differencePs, width_);
    const std::int64_t slot = index - firstIndex_;
    if (slot >= 0 && slot < static_cast<std::int64_t>(counts_.size())) ++counts_[static_cast<std::size_t>(slot)];
}

void Histogram::clear() { std::fill(counts_.begin(), counts_.end(), 0); }

std::int64_t Histogram::position(std::size_t i) const {
    return (firstIndex_ + static_cast<std::int64_t>(i)) * width_;
}

PointList Histogram::points(double scale) const {
    PointList out;
    out.reserve(counts_.size());
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        out.push_back({static_cast<double>(position(i)), static_cast<double>(counts_[i]) * scale});
    }
    return out;
}

std::int64_t powerOfTwoWidth(std::int64_t spanPs, std::int64_t maxBins) {
    std::int64_t width = 1;
    while (spanPs / width > maxBins) width *= 2;
    return width;
}

}  // namespace veltrano::sim
