#include "sim/model/analyses/conform_es_analysis.h"

#include "sim/model/sources/adc_pulse.h"
#include "sim/model/analyses/run_averaging.h"
#include "sim/model/analyses/tof_analysis.h"

namespace veltrano::sim {
namespace {

template <class Pulses>
void forget(Pulses& pulses, std::int64_t beforePs) {
    while (!pulses.empty() && pulses.front().timePs < beforePs) pulses.pop_front();
}

}  // namespace

ConformEsAnalysis::ConformEsAnalysis(const ConformEsSettings& settings)
    : settings_(settings),
      differences_(Histogram::symmetric(settings.windowPs, powerOfTwoWidth(2 * settings.windowPs, kMaxTofBins))) {}

void ConformEsAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    const bool first = event.channel == settings_.channel1;
    if (!first && event.channel != settings_.channel2) return;
    const int points = first ? settings_.integrationPoints1 : settings_.integrationPoints2;
    const std::int32_t area = scaledPulseArea(event.energyKev, points, settings_.areaScale);
    if (!(first ? settings_.window1 : settings_.window2).contains(area)) return;
    forget(pulses1_, timePs - settings_.windowPs);
    forget(pulses2_, timePs - settings_.windowPs);
    // Each pair is counted once, when its later pulse arrives.
    if (first) {
        for (const Pulse& other : pulses2_) count(other.timePs - timePs, area, other.area);
        pulses1_.push_back({timePs, area});
    } else {
        for (const Pulse& other : pulses1_) count(timePs - other.timePs, other.area, area);
        pulses2_.push_back({timePs, area});
    }
}

void ConformEsAnalysis::count(std::int64_t differencePs, std::int32_t area1, std::int32_t area2) {
    differences_.add(differencePs);
    const bool firstIsLower = settings_.channel1 < settings_.channel2;
    lower_.add(firstIsLower ? area1 : area2);
    higher_.add(firstIsLower ? area2 : area1);
}

void ConformEsAnalysis::clear() {
    differences_.clear();
    lower_.clear();
    higher_.clear();
    clearedPs_ = completePs_;
}

double ConformEsAnalysis::scale() const {
    return averagingScale(settings_.durationPs, settings_.avgTimes, completePs_ - clearedPs_);
}

PointList ConformEsAnalysis::processData() const { return differences_.points(scale()); }

PointList ConformEsAnalysis::area1Data() const { return lower_.points(scale()); }

PointList ConformEsAnalysis::area2Data() const { return higher_.points(scale()); }

}  // namespace veltrano::sim
