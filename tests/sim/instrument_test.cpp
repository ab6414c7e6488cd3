#include <gtest/gtest.h>

#include <memory>

#include "sim/model/instrument.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMillisecondPs = 1'000'000'000;

class CollectingSink : public EventSink {
public:
    void onEvents(std::span<const Event> batch) override { events.insert(events.end(), batch.begin(), batch.end()); }
    std::vector<Event> events;
};

class InstrumentTest : public ::testing::Test {
protected:
    std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
    Instrument instrument_{InstrumentConfig{}, clock_};
};

TEST_F(InstrumentTest, ChannelsAreNumberedFromOneToTheChannelCount) {
    EXPECT_EQ(instrument_.channelCount(), 16);
    for (int bad : {0, -1, 17, 1000}) {
        EXPECT_EQ(instrument_.setChannelSetting(bad, ChannelSetting::Hysteresis, 1), ModelError::ChannelOutOfRange);
        EXPECT_EQ(instrument_.dac(bad).error, ModelError::ChannelOutOfRange);
        EXPECT_EQ(instrument_.setChannelEnabled(bad, false), ModelError::ChannelOutOfRange);
    }
    EXPECT_TRUE(instrument_.dac(1).ok());
    EXPECT_TRUE(instrument_.dac(16).ok());
}

TEST_F(InstrumentTest, IntegerChannelSettingsAcceptTheirRangeBoundsOnly) {
    for (int i = 0; i < kChannelSettingCount; ++i) {
        const auto setting = static_cast<ChannelSetting>(i);
        const IntRange range = channelSettingRange(setting);
        EXPECT_EQ(instrument_.setChannelSetting(3, setting, range.min), ModelError::None);
        EXPECT_EQ(instrument_.setChannelSetting(3, setting, range.max), ModelError::None);
        EXPECT_EQ(instrument_.setChannelSetting(3, setting, range.min - 1), ModelError::ValueOutOfRange);
        EXPECT_EQ(instrument_.setChannelSetting(3, setting, range.max + 1), ModelError::ValueOutOfRange);
        EXPECT_EQ(instrument_.channelSetting(3, setting).value, range.max) << "setting " << i;
        EXPECT_EQ(instrument_.channelSetting(4, setting).value, channelSettingDefault(setting));
    }
}

TEST_F(InstrumentTest, DacAcceptsItsLimitsAndKeepsTheOldValueOtherwise) {
    EXPECT_EQ(instrument_.setDac(2, kDacMaxV), ModelError::None);
    EXPECT_EQ(instrument_.setDac(2, kDacMinV), ModelError::None);
    EXPECT_EQ(instrument_.setDac(2, kDacMaxV + 0.001), ModelError::ValueOutOfRange);
    EXPECT_EQ(instrument_.setDac(2, 1e300), ModelError::ValueOutOfRange);
    EXPECT_EQ(instrument_.dac(2).value, kDacMinV);
}

TEST_F(InstrumentTest, BoardSettingsAcceptTheirRangeBoundsOnly) {
    for (int i = 0; i < kBoardSettingCount; ++i) {
        const auto setting = static_cast<BoardSetting>(i);
        const IntRange range = boardSettingRange(setting);
        EXPECT_EQ(instrument_.setBoardSetting(setting, range.max), ModelError::None);
        EXPECT_EQ(instrument_.setBoardSetting(setting, range.max + 1), ModelError::ValueOutOfRange);
        EXPECT_EQ(instrument_.setBoardSetting(setting, range.min - 1), ModelError::ValueOutOfRange);
        EXPECT_EQ(instrument_.boardSetting(setting), range.max) << "setting " << i;
    }
}

TEST_F(InstrumentTest, RejectedNetworkSettingsChangeNothingAndTheSetsStaySeparate) {
    const NetworkSettings before = instrument_.network(NetworkSet::Plain);
    EXPECT_EQ(instrument_.setIps(NetworkSet::Plain, "10.0.0.1", "10.0.0.256"), ModelError::InvalidFormat);
    EXPECT_EQ(instrument_.setPorts(NetworkSet::Plain, 5000, 0), ModelError::ValueOutOfRange);
    EXPECT_EQ(instrument_.setMac(NetworkSet::Plain, "02:00:00:00:00"), ModelError::InvalidFormat);
    EXPECT_EQ(instrument_.network(NetworkSet::Plain).localIp, before.localIp);
    EXPECT_EQ(instrument_.network(NetworkSet::Plain).localPort, before.localPort);

    EXPECT_EQ(instrument_.setIps(NetworkSet::W, "10.0.0.1", "10.0.0.2"), ModelError::None);
    EXPECT_EQ(instrument_.setPorts(NetworkSet::W, 1, 65535), ModelError::None);
    EXPECT_EQ(instrument_.setMac(NetworkSet::W, "aa-bb-cc-dd-ee-ff"), ModelError::None);
    const NetworkSettings w = instrument_.network(NetworkSet::W);
    EXPECT_EQ(w.deviceIp, "10.0.0.2");
    EXPECT_EQ(w.devicePort, 65535);
    EXPECT_EQ(w.deviceMac, "aa-bb-cc-dd-ee-ff");
    EXPECT_EQ(instrument_.network(NetworkSet::Plain).deviceIp, before.deviceIp);
}

TEST_F(InstrumentTest, SystemResetRestoresDefaultSettings) {
    instrument_.setDac(1, 0.7);
    instrument_.setChannelEnabled(1, false);
    instrument_.setBoardSetting(BoardSetting::CoinsTimeWindow, 5000);
    instrument_.resetSystem();
    EXPECT_EQ(instrument_.dac(1).value, kDefaultDacV);
    EXPECT_TRUE(instrument_.channelEnabled(1).value);
    EXPECT_EQ(instrument_.boardSetting(BoardSetting::CoinsTimeWindow), boardSettingDefault(BoardSetting::CoinsTimeWindow));
}

TEST_F(InstrumentTest, ConnectableDeviceTypesAreThoseOfTheDeviceList) {
    ASSERT_GE(instrument_.devices().size(), 2u);
    EXPECT_NE(instrument_.devices()[0].type, instrument_.devices()[1].type);
    for (const DeviceEntry& d : instrument_.devices()) EXPECT_TRUE(instrument_.knowsDeviceType(d.type));
    EXPECT_FALSE(instrument_.knowsDeviceType(99));
    EXPECT_EQ(instrument_.deviceType(), instrument_.devices()[0].type);
}

TEST_F(InstrumentTest, SinksReceiveEventsAsTimePassesWithSettingsAppliedFromTheirChange) {
    CollectingSink sink;
    clock_->advancePs(50 * kMillisecondPs);  // before the sink: never produced
    instrument_.addEventSink(&sink);
    const std::int64_t start = instrument_.timeBasePs();
    clock_->advancePs(20 * kMillisecondPs);
    instrument_.setChannelEnabled(16, false);  // the clock channel goes quiet from here on
    const std::int64_t switched = instrument_.timeBasePs();
    clock_->advancePs(20 * kMillisecondPs);
    instrument_.advanceSignal();
    instrument_.removeEventSink(&sink);

    ASSERT_FALSE(sink.events.empty());
    long clockTicks = 0;
    for (const Event& e : sink.events) {
        EXPECT_GE(e.timePs, start - 1000);
        if (e.channel == 16) {
            ++clockTicks;
            EXPECT_LT(e.timePs, switched + 1000);
        }
    }
    EXPECT_NEAR(clockTicks, 2000 + 20, 15);  // 20 ms of the 100 kHz clock plus 1 kHz background
}

TEST(StatusModel, TemperatureWarmsUpSlowlyAndTheFanFollowsIt) {
    StatusConfig c;
    c.driftSigmaC = 0;
    c.currentNoise = 0;
    c.warmupC = 20;
    StatusModel m(c, 1);
    const DeviceStatus cold = m.sample(0);
    const DeviceStatus warm = m.sample(1200);
    const DeviceStatus hot = m.sample(6000);
    EXPECT_EQ(cold.temperatureC, 30);
    EXPECT_LT(cold.temperatureC, warm.temperatureC);
    EXPECT_LT(warm.temperatureC, hot.temperatureC);
    EXPECT_LE(hot.temperatureC, 50);
    EXPECT_EQ(cold.fanRpm, static_cast<int>(c.fanMinRpm));
    EXPECT_LT(warm.fanRpm, hot.fanRpm);
    EXPECT_NEAR(hot.fanRpm, c.fanMinRpm + (m.temperatureC() - c.fanStartC) * c.fanRpmPerC, 1);
    EXPECT_GT(hot.currentsA[3], cold.currentsA[3]);  // currents rise a little with temperature
}

TEST(StatusModel, DriftAndCurrentNoiseStayWithinTheirScale) {
    StatusConfig c;
    StatusModel m(c, 5);
    double lastTemperature = c.ambientC;
    for (int t = 1; t <= 600; ++t) {
        const DeviceStatus s = m.sample(t);
        EXPECT_LT(std::fabs(m.temperatureC() - lastTemperature), 0.5) << "temperature jumps at " << t << " s";
        lastTemperature = m.temperatureC();
        for (std::size_t i = 0; i < s.currentsA.size(); ++i) {
            EXPECT_NEAR(s.currentsA[i], c.nominalCurrentsA[i], 0.1 * c.nominalCurrentsA[i]);
        }
    }
}

}  // namespace
}  // namespace veltrano::sim
