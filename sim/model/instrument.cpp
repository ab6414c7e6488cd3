#include "sim/model/instrument.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {
namespace {

constexpr double kMaxTemperatureC = 85.0;
constexpr double kCurrentTolerance = 0.25;
constexpr auto kKeeperTick = std::chrono::milliseconds(20);
// The most signal time produced in one step. Settings that make the signal
// denser than this machine can generate in real time (a threshold at 0 V lets
// a MHz of noise through on every channel) must not leave every connection
// waiting behind an ever-growing backlog: older time is skipped, as a
// saturated front end loses it. In normal use a step covers one keeper tick.
constexpr std::int64_t kMaxStepPs = 5'000'000'000'000;

}  // namespace

Instrument::Instrument(InstrumentConfig config, std::shared_ptr<const SimClock> clock)
    : config_(std::move(config)),
      clock_(std::move(clock)),
      channels_(defaultChannels()),
      board_(BoardSettings::defaults()),
      network_(config_.network),
      wnetwork_(config_.wnetwork),
      status_(config_.status, config_.signal.seed),
      generator_(std::make_unique<EventGenerator>(config_.signal)),
      epochPs_(clock_->nowPs()),
      rawAcquisition_(config_.acquisition, config_.stream, config_.signal.seed, clock_),
      rateMeter_(config_.signal.channelCount, config_.rates, board_.get(BoardSetting::CoinsTimeWindow)),
      analyses_(clock_) {
    sinks_.push_back(&rawAcquisition_);
    sinks_.push_back(&rateMeter_);
    sinks_.push_back(&analyses_);
    keeper_ = std::thread([this] { keepSignalGoing(); });
}

Instrument::~Instrument() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    keeperWake_.notify_all();
    keeper_.join();
}

void Instrument::keepSignalGoing() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        keeperWake_.wait_for(lock, kKeeperTick, [this] { return stopping_; });
        if (!stopping_ && someSinkNeedsEveryEvent()) advanceLocked();
    }
}

bool Instrument::someSinkNeedsEveryEvent() const {
    return std::any_of(sinks_.begin(), sinks_.end(),
                       [](const EventSink* sink) { return sink->historyNeededPs() == kEveryEvent; });
}

std::vector<ChannelSettings> Instrument::defaultChannels() const {
    return std::vector<ChannelSettings>(static_cast<std::size_t>(config_.signal.channelCount),
                                        ChannelSettings::defaults());
}

ModelError Instrument::checkChannel(int channel) const {
    return channel >= 1 && channel <= channelCount() ? ModelError::None : ModelError::ChannelOutOfRange;
}

ModelError Instrument::setDac(int channel, double volts) {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return e;
    if (!std::isfinite(volts) || volts < kDacMinV || volts > kDacMaxV) return ModelError::ValueOutOfRange;
    std::lock_guard lock(mutex_);
    advanceLocked();
    channels_[channel - 1].dacV = volts;
    return ModelError::None;
}

Outcome<double> Instrument::dac(int channel) const {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return {e, 0.0};
    std::lock_guard lock(mutex_);
    return {ModelError::None, channels_[channel - 1].dacV};
}

ModelError Instrument::setChannelSetting(int channel, ChannelSetting setting, std::int64_t value) {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return e;
    if (!channelSettingRange(setting).contains(value)) return ModelError::ValueOutOfRange;
    std::lock_guard lock(mutex_);
    advanceLocked();
    channels_[channel - 1].set(setting, static_cast<std::int32_t>(value));
    return ModelError::None;
}

Outcome<std::int32_t> Instrument::channelSetting(int channel, ChannelSetting setting) const {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return {e, 0};
    std::lock_guard lock(mutex_);
    return {ModelError::None, channels_[channel - 1].get(setting)};
}

ModelError Instrument::setChannelEnabled(int channel, bool enabled) {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return e;
    std::lock_guard lock(mutex_);
    advanceLocked();
    channels_[channel - 1].enabled = enabled;
    return ModelError::None;
}

Outcome<bool> Instrument::channelEnabled(int channel) const {
    if (ModelError e = checkChannel(channel); e != ModelError::None) return {e, false};
    std::lock_guard lock(mutex_);
    return {ModelError::None, channels_[channel - 1].enabled};
}

void Instrument::setAllChannelsEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    advanceLocked();
    for (ChannelSettings& ch : channels_) ch.enabled = enabled;
}

ModelError Instrument::setBoardSetting(BoardSetting setting, std::int64_t value) {
    if (!boardSettingRange(setting).contains(value)) return ModelError::ValueOutOfRange;
    std::lock_guard lock(mutex_);
    board_.set(setting, static_cast<std::int32_t>(value));
    if (setting == BoardSetting::CoinsTimeWindow) rateMeter_.setCoincidenceWindowPs(value);
    return ModelError::None;
}

std::int32_t Instrument::boardSetting(BoardSetting setting) const {
    std::lock_guard lock(mutex_);
    return board_.get(setting);
}

NetworkSettings& Instrument::networkLocked(NetworkSet set) { return set == NetworkSet::Plain ? network_ : wnetwork_; }

ModelError Instrument::setIps(NetworkSet set, const std::string& localIp, const std::string& deviceIp) {
    if (!isValidIpv4(localIp) || !isValidIpv4(deviceIp)) return ModelError::InvalidFormat;
    std::lock_guard lock(mutex_);
    NetworkSettings& n = networkLocked(set);
    n.localIp = localIp;
    n.deviceIp = deviceIp;
    return ModelError::None;
}

ModelError Instrument::setPorts(NetworkSet set, std::int64_t localPort, std::int64_t devicePort) {
    if (!kNetworkPortRange.contains(localPort) || !kNetworkPortRange.contains(devicePort)) {
        return ModelError::ValueOutOfRange;
    }
    std::lock_guard lock(mutex_);
    NetworkSettings& n = networkLocked(set);
    n.localPort = static_cast<std::int32_t>(localPort);
    n.devicePort = static_cast<std::int32_t>(devicePort);
    return ModelError::None;
}

ModelError Instrument::setMac(NetworkSet set, const std::string& deviceMac) {
    if (!isValidMac(deviceMac)) return ModelError::InvalidFormat;
    std::lock_guard lock(mutex_);
    networkLocked(set).deviceMac = deviceMac;
    return ModelError::None;
}

NetworkSettings Instrument::network(NetworkSet set) const {
    std::lock_guard lock(mutex_);
    return set == NetworkSet::Plain ? network_ : wnetwork_;
}

bool Instrument::knowsDeviceType(int deviceType) const {
    return std::any_of(config_.devices.begin(), config_.devices.end(),
                       [deviceType](const DeviceEntry& d) { return d.type == deviceType; });
}

int Instrument::deviceType() const { return config_.devices.empty() ? 0 : config_.devices.front().type; }

DeviceStatus Instrument::status() {
    std::lock_guard lock(mutex_);
    return status_.sample(static_cast<double>(clock_->nowPs()) * 1e-12);
}

void Instrument::resetTdc() {
    std::lock_guard lock(mutex_);
    advanceLocked();
    const std::int64_t now = clock_->nowPs();
    const std::int64_t previous = now - epochPs_;
    // The old sources' events not yet released are never produced.
    for (EventSink* sink : sinks_) sink->onSkipped(generator_->completeBeforePs(), generator_->emittedUntilPs());
    generator_ = std::make_unique<EventGenerator>(config_.signal);
    epochPs_ = now;
    for (EventSink* sink : sinks_) sink->onTimeBaseRestart(previous);
}

void Instrument::resetSystem() {
    {
        std::lock_guard lock(mutex_);
        advanceLocked();
        channels_ = defaultChannels();
        board_ = BoardSettings::defaults();
        rateMeter_.setCoincidenceWindowPs(board_.get(BoardSetting::CoinsTimeWindow));
    }
    resetTdc();
}

void Instrument::resetState() {
    stopRawAcquisition();
    rateMeter_.stopRecordings();
    analyses_.stopAll();
}

void Instrument::startAnalysis(std::unique_ptr<AnalysisRun> run, std::int64_t durationS) {
    std::lock_guard lock(mutex_);
    advanceLocked();  // the earlier run gets everything up to now
    analyses_.begin(std::move(run), durationS, clock_->nowPs() - epochPs_);
}

void Instrument::setCrossCorrelationConfig(const CrossCorrelationConfig& config) {
    std::lock_guard lock(mutex_);
    crossCorrelation_ = config;
}

CrossCorrelationConfig Instrument::crossCorrelationConfig() const {
    std::lock_guard lock(mutex_);
    return crossCorrelation_;
}

void Instrument::installStrategies(const std::vector<NCoincidenceStrategy>& strategies) {
    std::lock_guard lock(mutex_);
    strategies_ = strategies;
}

std::vector<NCoincidenceStrategy> Instrument::installedStrategies() const {
    std::lock_guard lock(mutex_);
    return strategies_;
}

AcquisitionStart Instrument::startRawAcquisition(const AcquisitionRequest& request) {
    std::lock_guard startLock(startMutex_);
    advanceSignal();  // the earlier acquisition gets everything up to now
    AcquisitionStart started = rawAcquisition_.begin(request);
    if (started.error == ModelError::None && request.dataMode == static_cast<int>(AcquisitionMode::Signal)) {
        resetTdc();  // begins the armed acquisition at tag 0
        // A replay that does not loop ends the acquisition with its recording.
        const auto& replay = config_.signal.replay;
        if (replay && !replay->loop) rawAcquisition_.endSignalBy(replay->lengthPs);
    }
    return started;
}

void Instrument::stopRawAcquisition() {
    advanceSignal();
    rawAcquisition_.stop();
}

bool Instrument::selfCheck() {
    std::lock_guard lock(mutex_);
    const DeviceStatus s = status_.sample(static_cast<double>(clock_->nowPs()) * 1e-12);
    if (s.temperatureC > kMaxTemperatureC) return false;
    for (std::size_t i = 0; i < s.currentsA.size(); ++i) {
        const double nominal = config_.status.nominalCurrentsA[i];
        if (std::fabs(s.currentsA[i] - nominal) > kCurrentTolerance * nominal) return false;
    }
    return true;
}

std::int64_t Instrument::timeBasePs() const {
    std::lock_guard lock(mutex_);
    return clock_->nowPs() - epochPs_;
}

void Instrument::addEventSink(EventSink* sink) {
    std::lock_guard lock(mutex_);
    advanceLocked();
    sinks_.push_back(sink);
}

void Instrument::removeEventSink(EventSink* sink) {
    std::lock_guard lock(mutex_);
    advanceLocked();
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void Instrument::advanceSignal() {
    std::lock_guard lock(mutex_);
    advanceLocked();
}

void Instrument::advanceLocked() {
    const std::int64_t now = clock_->nowPs() - epochPs_;
    std::int64_t history = 0;
    for (const EventSink* sink : sinks_) history = std::max(history, sink->historyNeededPs());
    // After a pause produce only what some sink still needs, not every event since.
    if (history != kEveryEvent && now - history > generator_->emittedUntilPs()) skipSignalTo(now - history);
    if (now - kMaxStepPs > generator_->emittedUntilPs()) skipSignalTo(now - kMaxStepPs);
    if (now > generator_->emittedUntilPs()) {
        scratch_.clear();
        generator_->generateUntil(now, channels_, scratch_);
        const std::int64_t completeBefore = generator_->completeBeforePs();
        for (EventSink* sink : sinks_) {
            sink->onEvents(scratch_);
            sink->onProgress(completeBefore);
        }
    }
    if (const std::int64_t rateHistory = rateMeter_.historyToFillPs(); rateHistory > 0) {
        fillRateHistory(now - rateHistory, now);
    }
}

void Instrument::skipSignalTo(std::int64_t tPs) {
    for (EventSink* sink : sinks_) sink->onSkipped(generator_->completeBeforePs(), tPs);
    generator_->skipTo(tPs);
}

// The rate meter's last second must be whole, also where the signal was
// skipped or lay before power-on or a time base restart: a generator of its
// own (seeded from the instrument's seed and the number of the fill) produces
// those stretches with the settings in force now.
void Instrument::fillRateHistory(std::int64_t fromPs, std::int64_t toPs) {
    const std::vector<RateMeter::Span> gaps = rateMeter_.gapsWithin(fromPs, toPs);
    if (gaps.empty()) return;
    const std::int64_t start = gaps.front().fromPs;
    const std::int64_t end = gaps.back().toPs;
    std::vector<Event> produced;
    if (config_.signal.replay) {
        // A replay knows what it played at any time: play that stretch again.
        EventGenerator filler(config_.signal);
        filler.replayFrom(start);
        filler.generateUntil(end, channels_, produced);
    } else {
        SignalConfig fillerConfig = config_.signal;
        fillerConfig.seed ^= 0x9e3779b97f4a7c15ULL * ++rateHistoryFills_;
        EventGenerator filler(fillerConfig);
        const std::int64_t lead = filler.emittedUntilPs() - filler.completeBeforePs();
        filler.generateUntil(end - start + lead, channels_, produced);
        for (Event& e : produced) e.timePs += start;
    }
    std::vector<Event> missed;
    auto gap = gaps.begin();
    for (const Event& e : produced) {
        while (gap != gaps.end() && e.timePs >= gap->toPs) ++gap;
        if (gap == gaps.end()) break;
        if (e.timePs >= gap->fromPs) missed.push_back(e);
    }
    rateMeter_.backfill(missed, start, end);
}

}  // namespace veltrano::sim
