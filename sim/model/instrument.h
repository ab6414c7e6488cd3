#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/model/analyses/analysis_runner.h"
#include "sim/model/settings/board_settings.h"
#include "sim/model/settings/channel_settings.h"
#include "sim/model/analyses/cross_correlation.h"
#include "sim/model/sources/event_generator.h"
#include "sim/model/sources/event_sink.h"
#include "sim/model/settings/instrument_config.h"
#include "sim/model/common/model_error.h"
#include "sim/model/analyses/ncoincidence_analysis.h"
#include "sim/model/settings/network_settings.h"
#include "sim/model/status/rate_meter.h"
#include "sim/model/acquisition/raw_acquisition.h"
#include "sim/model/common/sim_clock.h"
#include "sim/model/status/status_model.h"

namespace veltrano::sim {

// The one simulated instrument shared by every connection. All members are
// guarded by one mutex, taken by each public function; channels are 1-based.
//
// It owns the raw acquisition, the count-rate meter and the analysis runner, event sinks with
// locks of their own (taken after the instrument's), registered for its whole
// life. Thread rules of the signal keeper: the constructor starts it, the
// destructor stops and joins it. It holds the instrument, wakes every 20 ms (or
// at once to stop, through keeperWake_) and, while a sink needs every event (a
// running acquisition or recording), advances the signal under mutex_, so that
// files and recordings keep up without any command.
class Instrument {
public:
    Instrument(InstrumentConfig config, std::shared_ptr<const SimClock> clock);
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    int channelCount() const { return config_.signal.channelCount; }
    // The channel of the clock source (whether or not it is enabled).
    int clockChannel() const { return config_.signal.clock.channel; }

    // Channel settings.
    ModelError setDac(int channel, double volts);
    Outcome<double> dac(int channel) const;
    ModelError setChannelSetting(int channel, ChannelSetting setting, std::int64_t value);
    Outcome<std::int32_t> channelSetting(int channel, ChannelSetting setting) const;
    ModelError setChannelEnabled(int channel, bool enabled);
    Outcome<bool> channelEnabled(int channel) const;
    void setAllChannelsEnabled(bool enabled);

    // Board settings.
    ModelError setBoardSetting(BoardSetting setting, std::int64_t value);
    std::int32_t boardSetting(BoardSetting setting) const;

    // Network settings of either set; a rejected request changes nothing.
    ModelError setIps(NetworkSet set, const std::string& localIp, const std::string& deviceIp);
    ModelError setPorts(NetworkSet set, std::int64_t localPort, std::int64_t devicePort);
    ModelError setMac(NetworkSet set, const std::string& deviceMac);
    NetworkSettings network(NetworkSet set) const;

    // Identity and health.
    const std::vector<DeviceEntry>& devices() const { return config_.devices; }
    bool knowsDeviceType(int deviceType) const;
    int deviceType() const;
    const Identity& identity() const { return config_.identity; }
    // Folder of relative service-side paths.
    const std::string& dataDir() const { return config_.acquisition.dataDir; }
    DeviceStatus status();

    // Board actions.
    void resetTdc();     // restarts the time base at 0 and the event sources from their seed
    void resetSystem();  // channel and board settings back to their defaults, then resetTdc
    void resetState();   // ends the raw acquisition, the count-rate recordings and the analysis
    bool selfCheck();    // false when a health reading is out of its limits

    // Signal. Events are produced lazily: advanceSignal generates everything up
    // to the current simulated time and hands it to the sinks.
    void addEventSink(EventSink* sink);
    void removeEventSink(EventSink* sink);
    void advanceSignal();
    std::int64_t timeBasePs() const;

    // Raw acquisition. startRawAcquisition ends any earlier one and, in signal
    // mode, restarts the time base so that the new one's tags start at 0.
    AcquisitionStart startRawAcquisition(const AcquisitionRequest& request);
    // Produces everything up to now, then ends the acquisition.
    void stopRawAcquisition();
    RawAcquisition& rawAcquisition() { return rawAcquisition_; }

    RateMeter& rateMeter() { return rateMeter_; }

    // Analyses. startAnalysis replaces any earlier run with `run`, which covers
    // the events from now for durationS seconds.
    void startAnalysis(std::unique_ptr<AnalysisRun> run, std::int64_t durationS);
    AnalysisRunner& analyses() { return analyses_; }
    // The cross-correlation configuration of time-of-flight runs, kept across runs.
    void setCrossCorrelationConfig(const CrossCorrelationConfig& config);
    CrossCorrelationConfig crossCorrelationConfig() const;
    // The n-fold coincidence strategies installed by "apply_ncoins_strategies"
    // or the latest "ncoins_analysis" that named some.
    void installStrategies(const std::vector<NCoincidenceStrategy>& strategies);
    std::vector<NCoincidenceStrategy> installedStrategies() const;

private:
    void keepSignalGoing();
    bool someSinkNeedsEveryEvent() const;
    ModelError checkChannel(int channel) const;
    void advanceLocked();
    void skipSignalTo(std::int64_t tPs);
    void fillRateHistory(std::int64_t fromPs, std::int64_t toPs);
    std::vector<ChannelSettings> defaultChannels() const;
    NetworkSettings& networkLocked(NetworkSet set);

    const InstrumentConfig config_;
    const std::shared_ptr<const SimClock> clock_;

    mutable std::mutex mutex_;
    std::vector<ChannelSettings> channels_;
    BoardSettings board_;
    NetworkSettings network_;
    NetworkSettings wnetwork_;
    StatusModel status_;
    std::unique_ptr<EventGenerator> generator_;
    std::int64_t epochPs_ = 0;
    std::vector<EventSink*> sinks_;
    std::vector<Event> scratch_;
    std::uint64_t rateHistoryFills_ = 0;  // numbers the seeds of the backfilled stretches
    bool stopping_ = false;
    std::condition_variable keeperWake_;

    CrossCorrelationConfig crossCorrelation_;
    std::vector<NCoincidenceStrategy> strategies_;

    RawAcquisition rawAcquisition_;
    RateMeter rateMeter_;
    AnalysisRunner analyses_;
    std::mutex startMutex_;  // one acquisition start at a time (taken before mutex_)
    std::thread keeper_;
};

}  // namespace veltrano::sim
