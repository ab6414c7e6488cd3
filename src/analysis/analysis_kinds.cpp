#include "analysis/analysis_kinds.h"

namespace vel::analysis {

const char* stopCommandOf(Kind kind) noexcept {
    switch (kind) {
        case Kind::TimeOfFlight:
            return "stop_tof_analysis";
        case Kind::Ad:
            return "stop_ad_analysis";
        case Kind::TimeOverThreshold:
            return "stop_tot_analysis";
        case Kind::EnergySpectrum:
            return "stop_es_analysis";
        case Kind::ConformEnergySpectrum:
            return "stop_conform_es_analysis";
        case Kind::Period:
            return "stop_period_analysis";
        case Kind::StartStop:
            return "stop_startstop_analysis";
        case Kind::NCoincidences:
            return "stop_ncoins_analysis";
        case Kind::Autocorrelation:
            return "stop_autocorrelation_analysis";
        default:
            return nullptr;
    }
}

}  // namespace vel::analysis
