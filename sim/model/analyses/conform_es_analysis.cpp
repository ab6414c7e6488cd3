#include "sim/model/analyses/conform_es_analysis.h"

#include "sim/model/sources/adc_pulse.h"
#include "sim/model/analyses/run_averaging.h"
#include "sim/model/analyses/tof_analysis.h"

namespace veltrano::sim {
namespace {

template <class Pulses>
void forget(Pulses& pulses, std::int64_t before_ps) {
    while (!pulses.empty() && pulses.front().time_ps < before_ps) pulses.pop_front();
}

}  // namespace

ConformEsAnalysis::ConformEsAnalysis(const ConformEsSettings& settings)
    : settings_(settings),
      differences_(Histogram::symmetric(settings.window_ps, powerOfTwoWidth(2 * settings.window_ps, kMaxTofBins))) {}

void ConformEsAnalysis::onEvent(const Event& event, std::int64_t time_ps) {
    const bool first = event.channel == settings_.channel1;
    if (!first && event.channel != settings_.channel2) return;
    const int points = first ? settings_.integration_points1 : settings_.integration_points2;
    const std::int32_t area = scaledPulseArea(event.energy_kev, points, settings_.area_scale);
    if (!(first ? settings_.window1 : settings_.window2).contains(area)) return;
    forget(pulses1_, time_ps - settings_.window_ps);
    forget(pulses2_, time_ps - settings_.window_ps);
    // Each pair is counted once, when its later pulse arrives.
    if (first) {
        for (const Pulse& other : pulses2_) count(other.time_ps - time_ps, area, other.area);
        pulses1_.push_back({time_ps, area});
    } else {
        for (const Pulse& other : pulses1_) count(time_ps - other.time_ps, other.area, area);
        pulses2_.push_back({time_ps, area});
    }
}

void ConformEsAnalysis::count(std::int64_t difference_ps, std::int32_t area1, std::int32_t area2) {
    differences_.add(difference_ps);
    const bool first_is_lower = settings_.channel1 < settings_.channel2;
    lower_.add(first_is_lower ? area1 : area2);
    higher_.add(first_is_lower ? area2 : area1);
}

void ConformEsAnalysis::clear() {
    differences_.clear();
    lower_.clear();
    higher_.clear();
    cleared_ps_ = complete_ps_;
}

double ConformEsAnalysis::scale() const {
    return averagingScale(settings_.duration_ps, settings_.avg_times, complete_ps_ - cleared_ps_);
}

PointList ConformEsAnalysis::processData() const { return differences_.points(scale()); }

PointList ConformEsAnalysis::area1Data() const { return lower_.points(scale()); }

PointList ConformEsAnalysis::area2Data() const { return higher_.points(scale()); }

}  // namespace veltrano::sim
