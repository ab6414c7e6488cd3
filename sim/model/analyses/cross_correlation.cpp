#include "sim/model/analyses/cross_correlation.h"

#include <algorithm>

#include "sim/model/analyses/analysis_run.h"

namespace veltrano::sim {
namespace {

double signalFraction(double rateHz, double darkHz) {
    if (rateHz <= 0 || darkHz >= rateHz) return 1.0;
    return (rateHz - darkHz) / rateHz;
}

double accidentalLevel(const Histogram& coincidences, double n1, double n2, double seconds,
                       const CrossCorrelationConfig& config) {
    const std::size_t bins = coincidences.binCount();
    if (config.virtualTwin <= 0) {
        return seconds > 0 ? n1 * n2 * static_cast<double>(coincidences.width()) * 1e-12 / seconds : 0.0;
    }
    const std::size_t perSide = std::min<std::size_t>(static_cast<std::size_t>(config.virtualTwin), bins / 2);
    if (perSide == 0) return 0.0;
    double sum = 0;
    for (std::size_t i = 0; i < perSide; ++i) {
        sum += static_cast<double>(coincidences.count(i) + coincidences.count(bins - 1 - i));
    }
    return sum / static_cast<double>(2 * perSide);
}

}  // namespace

PointList normalisedG2(const Histogram& coincidences, double n1, double n2, double seconds,
                       const CrossCorrelationConfig& config) {
    const double accidental = accidentalLevel(coincidences, n1, n2, seconds, config);
    if (!(accidental > 0) || seconds <= 0) return {};
    const double rho = signalFraction(n1 / seconds, static_cast<double>(config.dcr1Hz)) *
                       signalFraction(n2 / seconds, static_cast<double>(config.dcr2Hz));
    PointList curve;
    curve.reserve(coincidences.binCount());
    for (std::size_t i = 0; i < coincidences.binCount(); ++i) {
        const double raw = static_cast<double>(coincidences.count(i)) / accidental;
        curve.push_back({static_cast<double>(coincidences.position(i)), 1.0 + (raw - 1.0) / rho});
    }
    return curve;
}

CrossCorrelation::CrossCorrelation(std::int64_t windowPs, const CrossCorrelationConfig& config,
                                   std::int64_t fromPs)
    : windowPs_(windowPs),
      config_(config),
      bins_(Histogram::symmetric(windowPs, binWidth(windowPs, config.binWidthPs))),
      fromPs_(fromPs) {}

std::int64_t CrossCorrelation::binWidth(std::int64_t windowPs, std::int64_t requestedPs) {
    const std::int64_t span = 2 * windowPs + 1;
    const std::int64_t narrowest = (span + kMaxCorrelationBins - 1) / kMaxCorrelationBins;
    return std::max({requestedPs, narrowest, std::int64_t{1}});
}

void CrossCorrelation::configure(const CrossCorrelationConfig& config, std::int64_t fromPs) {
    const bool rebin = binWidth(windowPs_, config.binWidthPs) != bins_.width();
    config_ = config;
    if (!rebin) return;
    bins_ = Histogram::symmetric(windowPs_, binWidth(windowPs_, config.binWidthPs));
    restart(fromPs);
}

void CrossCorrelation::restart(std::int64_t fromPs) {
    bins_.clear();
    starts_ = stops_ = 0;
    fromPs_ = fromPs;
}

PointList CrossCorrelation::curve(std::int64_t toPs) const {
    const double seconds = static_cast<double>(toPs - fromPs_) / static_cast<double>(kPsPerSecond);
    return normalisedG2(bins_, static_cast<double>(starts_), static_cast<double>(stops_), seconds, config_);
}

}  // namespace veltrano::sim
