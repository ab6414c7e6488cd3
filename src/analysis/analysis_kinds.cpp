#include "analysis/analysis_kinds.h"

namespace vel::analysis {

const char* stopCommandOf(int kind) noexcept {
    switch (kind) {
    case kTimeOfFlight:
        return "stop_tof_analysis";
    case kAd:
        return "stop_ad_analysis";
    case kTimeOverThreshold:
        return "stop_tot_analysis";
    case kEnergySpectrum:
        return "stop_es_analysis";
    case kConformEnergySpectrum:
        return "stop_conform_es_analysis";
    case kPeriod:
        return "stop_period_analysis";
    case kStartStop:
        return "stop_startstop_analysis";
    case kNCoincidences:
        return "stop_ncoins_analysis";
    case kAutocorrelation:
        return "stop_autocorrelation_analysis";
    default:
        return nullptr;
    }
}

}  // namespace vel::analysis
