#include "sim/model/analyses/widening_histogram.h"

#include "sim/model/common/floor_div.h"

namespace veltrano::sim {

void WideningHistogram::add(std::int64_t value) {
    ++counts_[floorDiv(value, width_)];
    while (counts_.size() > kMaxBins) {
        std::map<std::int64_t, std::int64_t> merged;
        for (const auto& [k, n] : counts_) merged[floorDiv(k, 2)] += n;
        counts_ = std::move(merged);
        width_ *= 2;
    }
}

void WideningHistogram::clear() {
    counts_.clear();
    width_ = 1;
}

PointList WideningHistogram::points(double scale) const {
    PointList out;
    out.reserve(counts_.size());
    for (const auto& [k, n] : counts_) {
        out.push_back({static_cast<double>(k * width_), static_cast<double>(n) * scale});
    }
    return out;
}

}  // namespace veltrano::sim
