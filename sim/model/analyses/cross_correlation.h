#pragma once

#include <cstdint>

#include "sim/model/analyses/histogram.h"
#include "sim/model/analyses/point_list.h"

namespace veltrano::sim {

// "set_cross_correlation_config": how the g2 curve of a time-of-flight run is binned and normalised.
struct CrossCorrelationConfig {
    std::int64_t virtualTwin = 0;    // 0: accidental level from the singles; n: from the n outermost bins on each side
    std::int64_t binWidthPs = 100;
    std::int64_t dcr1Hz = 0;         // dark-count rates of the start and stop channels, taken out of g2
    std::int64_t dcr2Hz = 0;
};

// The g2 bins hold at most this many bins; a finer bin width is widened.
inline constexpr std::int64_t kMaxCorrelationBins = 1 << 20;

// Normalised g2 of binned coincidences (x = delay in ps, y = g2). With rates
// R_i = n_i / seconds and signal fractions rho_i = (R_i - dcr_i) / R_i, and A the
// accidental level per bin (n1 n2 width / seconds, or the mean of the reference
// bins), g2 = 1 + (C / A - 1) / (rho1 rho2): uncorrelated channels give 1 and
// dark counts do not dilute a correlation. A channel whose dark rate is not
// below its rate is not corrected. Empty when A is not above 0.
PointList normalisedG2(const Histogram& coincidences, double n1, double n2, double seconds,
                       const CrossCorrelationConfig& config);

// Accumulates what the g2 curve of a time-of-flight run needs: the start-stop
// differences within +-window in bins of the configured width, and both
// channels' counts, from the moment the binning was (re)set.
class CrossCorrelation {
public:
    CrossCorrelation(std::int64_t windowPs, const CrossCorrelationConfig& config, std::int64_t fromPs);

    // A new configuration; a different bin width restarts the accumulation at fromPs.
    void configure(const CrossCorrelationConfig& config, std::int64_t fromPs);
    void restart(std::int64_t fromPs);
    void addStart() { ++starts_; }
    void addStop() { ++stops_; }
    void addDifference(std::int64_t differencePs) { bins_.add(differencePs); }
    // The g2 curve over what was accumulated up to toPs.
    PointList curve(std::int64_t toPs) const;

private:
    static std::int64_t binWidth(std::int64_t windowPs, std::int64_t requestedPs);

    std::int64_t windowPs_;
    CrossCorrelationConfig config_;
    Histogram bins_;
    std::int64_t starts_ = 0;
    std::int64_t stops_ = 0;
    std::int64_t fromPs_;
};

}  // namespace veltrano::sim
