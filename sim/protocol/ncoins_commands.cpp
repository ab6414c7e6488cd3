#include <algorithm>

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/ncoincidence_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMaxStrategyWindowPs = 1'000'000'000;

NCoincidenceStrategy readStrategy(const Json& entry, std::size_t index, const CommandContext& context) {
    const std::string what = "\"ncoins_strats\" entry " + std::to_string(index);
    if (!entry.is_object()) throw ProtocolError(ResultCode::BadParameter, what + " must be an object");
    const auto name = entry.find("strategy_name");
    const auto channels = entry.find("channels");
    const auto twin = entry.find("virtual_twin");
    if (name == entry.end() || !name->is_string() || channels == entry.end() || !channels->is_array() ||
        twin == entry.end() || !twin->is_number_integer()) {
        throw ProtocolError(ResultCode::BadParameter,
                            what + " needs a string \"strategy_name\", an array \"channels\" and an integer \"virtual_twin\"");
    }
    NCoincidenceStrategy strategy;
    strategy.name = name->get<std::string>();
    for (const Json& channel : *channels) {
        const int number = channelValue(channel, what + " \"channels\"", context);
        if (std::find(strategy.channels.begin(), strategy.channels.end(), number) != strategy.channels.end()) {
            throw ProtocolError(ResultCode::ValueOutOfRange, what + " names a channel twice");
        }
        strategy.channels.push_back(number);
    }
    if (strategy.channels.empty()) throw ProtocolError(ResultCode::ValueOutOfRange, what + " has no channels");
    strategy.virtualTwin = twin->is_number_unsigned() && twin->get<std::uint64_t>() > 0x7FFFFFFFu
                                ? -1
                                : twin->get<std::int64_t>();
    if (strategy.virtualTwin < 1) throw ProtocolError(ResultCode::ValueOutOfRange, what + ": \"virtual_twin\" must be at least 1");
    return strategy;
}

std::vector<NCoincidenceStrategy> readStrategies(const Request& request, const CommandContext& context) {
    std::vector<NCoincidenceStrategy> strategies;
    const Json& entries = request.array("ncoins_strats");
    for (std::size_t i = 0; i < entries.size(); ++i) strategies.push_back(readStrategy(entries[i], i, context));
    return strategies;
}

// The instrument's coincidence window, after checking that every strategy's window fits.
std::int64_t unitWindow(const std::vector<NCoincidenceStrategy>& strategies, const CommandContext& context) {
    const std::int64_t unit = context.instrument.boardSetting(BoardSetting::CoinsTimeWindow);
    for (const NCoincidenceStrategy& s : strategies) {
        if (s.virtualTwin > kMaxStrategyWindowPs / unit) {
            throw ProtocolError(ResultCode::ValueOutOfRange, "strategy \"" + s.name +
                                                                 "\": virtual_twin times the coincidence window must "
                                                                 "not exceed 1000000000 ps");
        }
    }
    return unit;
}

RecordStoreMaker rawRecordMaker(const CommandContext& context, const AnalysisStart& start) {
    // Later strategies may come from another connection: keep copies, not the context.
    return [dataDir = context.instrument.dataDir(), start](std::size_t index) {
        return recordStoreFor(dataDir, start, "_ncoins_" + std::to_string(index) + ".bin", kNCoincidenceRecordBytes);
    };
}

Reply startNCoincidence(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    std::vector<NCoincidenceStrategy> strategies = readStrategies(request, context);
    const bool keepRaw = request.integer("enable_raw_data", 0) == 1;
    if (strategies.empty()) strategies = context.instrument.installedStrategies();
    const std::int64_t unit = unitWindow(strategies, context);
    // The files are made here, before anything changes; later ones (from
    // "apply_ncoins_strategies") are made as the run's strategies grow.
    auto run = std::make_unique<NCoincidenceAnalysis>(strategies, unit,
                                                      keepRaw ? rawRecordMaker(context, start) : RecordStoreMaker{});
    context.instrument.installStrategies(strategies);
    context.instrument.startAnalysis(std::move(run), start.durationS);
    return okReply();
}

Reply applyStrategies(const Request& request, CommandContext& context) {
    const std::vector<NCoincidenceStrategy> strategies = readStrategies(request, context);
    const std::int64_t unit = unitWindow(strategies, context);
    context.instrument.advanceSignal();
    context.instrument.installStrategies(strategies);
    if (context.instrument.analyses().state() == AnalysisState::Running) {
        context.instrument.analyses().withRun<NCoincidenceAnalysis>([&](NCoincidenceAnalysis& run) {
            run.replaceStrategies(strategies, unit);
            return true;
        });
    }
    return okReply();
}

// The strategy index of a request; -1 when it is no index at all.
std::int64_t strategyIndex(const Request& request) { return std::max<std::int64_t>(request.integer("strategy_index"), -1); }

Reply currentRate(const Request& request, CommandContext& context) {
    const std::int64_t index = strategyIndex(request);
    context.instrument.advanceSignal();
    const auto cps = context.instrument.analyses().withRun<NCoincidenceAnalysis>(
        [&](const NCoincidenceAnalysis& run) -> std::optional<std::int64_t> {
            if (index < 0 || static_cast<std::size_t>(index) >= run.strategyCount()) return std::nullopt;
            return run.currentCps(static_cast<std::size_t>(index));
        });
    if (!cps) return errorReply(ResultCode::WrongState, "no n-fold coincidence analysis");
    if (!*cps) return errorReply(ResultCode::ValueOutOfRange, "no strategy with index " + std::to_string(index));
    return valueReply(**cps);
}

}  // namespace

void registerNCoincidenceCommands(CommandTable& table) {
    table.add("ncoins_analysis", startNCoincidence);
    table.add("apply_ncoins_strategies", applyStrategies);
    table.add("get_ncoins_cps", currentRate);
    table.add("fetch_ncoins_cps", [](const Request& request, CommandContext& context) {
        const std::int64_t index = strategyIndex(request);
        context.instrument.advanceSignal();
        const auto history = context.instrument.analyses().withRun<NCoincidenceAnalysis>(
            [&](const NCoincidenceAnalysis& run) {
                if (index < 0 || static_cast<std::size_t>(index) >= run.strategyCount()) return PointList{};
                return run.cpsHistory(static_cast<std::size_t>(index));
            });
        return pointListReply(history.value_or(PointList{}));
    });
    table.add("fetch_ncoins_rawdata", [](const Request& request, CommandContext& context) {
        const std::int64_t index = strategyIndex(request);
        context.instrument.advanceSignal();
        const auto payload = context.instrument.analyses().withRun<NCoincidenceAnalysis>(
            [&](NCoincidenceAnalysis& run) {
                return index < 0 ? std::vector<std::uint8_t>(4, 0) : run.takeRawPayload(static_cast<std::size_t>(index));
            });
        return binaryReply(payload.value_or(std::vector<std::uint8_t>(4, 0)));
    });
    table.add("is_ncoins_analysis_processing", [](const Request&, CommandContext& context) {
        context.instrument.advanceSignal();
        return valueReply(context.instrument.analyses().processing(AnalysisKind::NCoincidence));
    });
}

}  // namespace veltrano::sim
