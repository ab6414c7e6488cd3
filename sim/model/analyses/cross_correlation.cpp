#include "sim/model/analyses/cross_correlation.h"

#include <algorithm>

#include "sim/model/analyses/analysis_run.h"

namespace veltrano::sim {
namespace {

double signalFraction(double rate_hz, double dark_hz) {
    if (rate_hz <= 0 || dark_hz >= rate_hz) return 1.0;
    return (rate_hz - dark_hz) / rate_hz;
}

double accidentalLevel(const Histogram& coincidences, double n1, double n2, double seconds,
                       const CrossCorrelationConfig& config) {
    const std::size_t bins = coincidences.binCount();
    if (config.virtual_twin <= 0) {
        return seconds > 0 ? n1 * n2 * static_cast<double>(coincidences.width()) * 1e-12 / seconds : 0.0;
    }
    const std::size_t per_side = std::min<std::size_t>(static_cast<std::size_t>(config.virtual_twin), bins / 2);
    if (per_side == 0) return 0.0;
    double sum = 0;
    for (std::size_t i = 0; i < per_side; ++i) {
        sum += static_cast<double>(coincidences.count(i) + coincidences.count(bins - 1 - i));
    }
    return sum / static_cast<double>(2 * per_side);
}

}  // namespace

PointList normalisedG2(const Histogram& coincidences, double n1, double n2, double seconds,
                       const CrossCorrelationConfig& config) {
    const double accidental = accidentalLevel(coincidences, n1, n2, seconds, config);
    if (!(accidental > 0) || seconds <= 0) return {};
    const double rho = signalFraction(n1 / seconds, static_cast<double>(config.dcr1_hz)) *
                       signalFraction(n2 / seconds, static_cast<double>(config.dcr2_hz));
    PointList curve;
    curve.reserve(coincidences.binCount());
    for (std::size_t i = 0; i < coincidences.binCount(); ++i) {
        const double raw = static_cast<double>(coincidences.count(i)) / accidental;
        curve.push_back({static_cast<double>(coincidences.position(i)), 1.0 + (raw - 1.0) / rho});
    }
    return curve;
}

CrossCorrelation::CrossCorrelation(std::int64_t window_ps, const CrossCorrelationConfig& config,
                                   std::int64_t from_ps)
    : window_ps_(window_ps),
      config_(config),
      bins_(Histogram::symmetric(window_ps, binWidth(window_ps, config.bin_width_ps))),
      from_ps_(from_ps) {}

std::int64_t CrossCorrelation::binWidth(std::int64_t window_ps, std::int64_t requested_ps) {
    const std::int64_t span = 2 * window_ps + 1;
    const std::int64_t narrowest = (span + kMaxCorrelationBins - 1) / kMaxCorrelationBins;
    return std::max({requested_ps, narrowest, std::int64_t{1}});
}

void CrossCorrelation::configure(const CrossCorrelationConfig& config, std::int64_t from_ps) {
    const bool rebin = binWidth(window_ps_, config.bin_width_ps) != bins_.width();
    config_ = config;
    if (!rebin) return;
    bins_ = Histogram::symmetric(window_ps_, binWidth(window_ps_, config.bin_width_ps));
    restart(from_ps);
}

void CrossCorrelation::restart(std::int64_t from_ps) {
    bins_.clear();
    starts_ = stops_ = 0;
    from_ps_ = from_ps;
}

PointList CrossCorrelation::curve(std::int64_t to_ps) const {
    const double seconds = static_cast<double>(to_ps - from_ps_) / static_cast<double>(kPsPerSecond);
    return normalisedG2(bins_, static_cast<double>(starts_), static_cast<double>(stops_), seconds, config_);
}

}  // namespace veltrano::sim
