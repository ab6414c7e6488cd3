#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/model/analyses/analysis_run.h"
#include "sim/model/analyses/record_store.h"

namespace veltrano::sim {

// One n-fold coincidence strategy ("ncoins_strats" entry). Its coincidence
// window is virtual_twin times the instrument's coincidence window.
struct NCoincidenceStrategy {
    std::string name;
    std::vector<int> channels;  // distinct; the first is the reference channel
    std::int64_t virtualTwin = 1;
};

// Makes the raw-record store of strategy i (in memory, or a service-side file);
// may throw std::runtime_error when a file cannot be created.
using RecordStoreMaker = std::function<std::unique_ptr<RecordStore>(std::size_t strategyIndex)>;

// N-fold coincidences: an event on a strategy's first channel (the reference)
// counts once when every other channel of the strategy has an event within
// +-window/2 of it (so two independent channels coincide at R1 R2 window). Per
// strategy: the total, the coincidences of the last second, a history of
// complete seconds and, with raw records, one record per coincidence.
class NCoincidenceAnalysis final : public AnalysisRun {
public:
    // rawMaker empty: no raw records.
    NCoincidenceAnalysis(const std::vector<NCoincidenceStrategy>& strategies, std::int64_t unitWindowPs,
                         RecordStoreMaker rawMaker);

    AnalysisKind kind() const override { return AnalysisKind::NCoincidence; }
    void onEvent(const Event& event, std::int64_t timePs) override;
    void onComplete(std::int64_t completePs) override;
    void clear() override;
    // (strategy index, coincidences counted) per strategy.
    PointList processData() const override;
    void finish() override;

    // New strategies for the running analysis: their counts start afresh,
    // the raw-record stores of the existing indices are kept.
    void replaceStrategies(const std::vector<NCoincidenceStrategy>& strategies, std::int64_t unitWindowPs);
    std::size_t strategyCount() const { return counters_.size(); }
    // Coincidences whose reference lies in the last second of what is settled.
    std::int64_t currentCps(std::size_t index) const;
    // (end of second s in seconds, coincidences in it) for every complete second.
    PointList cpsHistory(std::size_t index) const;
    // The raw records of the strategy since the last take (empty list when none).
    std::vector<std::uint8_t> takeRawPayload(std::size_t index);

private:
    struct Hit {
        std::int64_t timePs;
        std::size_t slot;  // index among the strategy's channels
    };
    struct Counter {
        NCoincidenceStrategy strategy;
        std::int64_t windowPs = 0;
        std::deque<Hit> recent;                   // partner channels' events that may still be needed
        std::deque<std::int64_t> references;      // reference events not settled yet
        std::deque<std::int64_t> lastSecond;     // references of recent coincidences
        std::vector<std::int64_t> perSecond;
        std::int64_t historyFromSecond = 0;
        std::int64_t total = 0;
        std::int64_t number = 0;
        std::int64_t settledPs = 0;
        std::unique_ptr<RecordStore> raw;
    };

    void buildCounters(const std::vector<NCoincidenceStrategy>& strategies, std::int64_t unitWindowPs);
    void settle(std::size_t index, std::int64_t horizonPs, bool everything);
    void settleOne(std::size_t index, std::int64_t referencePs);

    std::vector<Counter> counters_;
    RecordStoreMaker rawMaker_;
    std::int64_t completePs_ = 0;
};

}  // namespace veltrano::sim
