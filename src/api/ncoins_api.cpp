// N-fold coincidence analysis: the two starts, applying strategies, the count
// rates and the raw records. The stop and the processing query are among the
// analysis framework's exports.

#include <veltranoapi/veltranoapi.h>

#include "analysis/ncoins_records.h"
#include "analysis/ncoins_start.h"
#include "analysis/ncoins_strategies.h"
#include "analysis/point_list_fetch.h"
#include "analysis/startstop_fetch.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

namespace {

using vel::analysis::NCoinsStrategies;

template <class ReadStrategies>
int startWithStrategies(uint64_t handle, const char* operation, int duration, uint8_t enableRawData,
                        const char* folderPath, const char* fileName, ReadStrategies&& readStrategies) noexcept {
    return vel::withSession(handle, -1, operation, [&](InstInstance& session) {
        if (duration <= 0) {
            return -1;
        }
        NCoinsStrategies strategies;
        const std::string message = readStrategies(strategies);
        if (!message.empty()) {
            session.context.logError(message);
            return -1;
        }
        return vel::analysis::startNCoincidenceAnalysis(session.context, session.analysis, duration,
                                                        std::move(strategies), enableRawData, folderPath, fileName);
    });
}

template <class ReadStrategies>
int applyStrategies(uint64_t handle, const char* operation, ReadStrategies&& readStrategies) noexcept {
    return vel::withSession(handle, -1, operation, [&](InstInstance& session) {
        nlohmann::json strategies;
        const std::string message = readStrategies(strategies);
        if (!message.empty()) {
            session.context.logError(message);
            return -1;
        }
        return vel::callPlain(session.context,
                              {{"cmd", "apply_ncoins_strategies"}, {"ncoins_strats", std::move(strategies)}});
    });
}

}  // namespace

extern "C" {

CI_API int ci_ncoins_analysis(uint64_t handle, int duration, const NCOINS_STRATEGY* strategies, int strategyCount,
                              uint8_t enableRawData, const char* folderPath, const char* fileName) {
    return startWithStrategies(handle, "Ncoins analysis", duration, enableRawData, folderPath, fileName,
                               [&](NCoinsStrategies& result) {
                                   return vel::analysis::strategiesForAnalysis(strategies, strategyCount, result);
                               });
}

CI_API int ci_ncoins_analysis_json(uint64_t handle, int duration, const char* ncoinsStratsJson, uint8_t enableRawData,
                                   const char* folderPath, const char* fileName) {
    return startWithStrategies(handle, "Ncoins analysis json", duration, enableRawData, folderPath, fileName,
                               [&](NCoinsStrategies& result) {
                                   return vel::analysis::strategiesForAnalysisFromJson(ncoinsStratsJson, result);
                               });
}

CI_API int ci_apply_ncoins_strategies(uint64_t handle, const NCOINS_STRATEGY* strategies, int strategyCount) {
    return applyStrategies(handle, "Apply ncoins strategies", [&](nlohmann::json& result) {
        return vel::analysis::strategiesForApplying(strategies, strategyCount, result);
    });
}

CI_API int ci_apply_ncoins_strategies_json(uint64_t handle, const char* ncoinsStratsJson) {
    return applyStrategies(handle, "Apply ncoins strategies json", [&](nlohmann::json& result) {
        return vel::analysis::strategiesForApplyingFromJson(ncoinsStratsJson, result);
    });
}

CI_API int ci_get_ncoins_cps(uint64_t handle, int strategyIndex) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callReturningInt(session, {{"cmd", "get_ncoins_cps"}, {"strategy_index", strategyIndex}});
    });
}

CI_API int64_t* ci_fetch_ncoins_cps(uint64_t handle, int strategyIndex, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchIntegerPairs(session.context,
                                                {{"cmd", "fetch_ncoins_cps"}, {"strategy_index", strategyIndex}}, count,
                                                "Fetch ncoins cps data failed", "Fetch ncoins cps data");
    });
}

CI_API int64_t* ci_fetch_ncoins_rawdata(uint64_t handle, int strategyIndex, int* count, int timeoutMs) {
    if (count != nullptr) {
        *count = 0;
    }
    return vel::withSession<int64_t*>(handle, nullptr, "Fetch ncoins raw data", [&](InstInstance& session) {
        return vel::analysis::pollNCoinsRecords(session.context, session.analysis, strategyIndex, count, timeoutMs);
    });
}

}  // extern "C"
