// The count-rate meter and its recordings, on a hand-moved clock with a fixed
// seed: rates are checked against the signal model within five standard
// deviations of Poisson counting.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "light_signal.h"
#include "sim/model/instrument.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kMillisecondPs = 1'000'000'000;

InstrumentConfig pairConfig() {
    InstrumentConfig c = lightSignalConfig();
    c.rates.sampleIntervalMs = 100;
    return c;
}

constexpr double kBackgroundCps = kLightBackgroundCps;
constexpr double kPairCps = kLightPairCps;

void expectPoisson(std::int64_t count, double expected, const std::string& what) {
    EXPECT_NEAR(static_cast<double>(count), expected, 5 * std::sqrt(expected) + 1) << what;
}

struct Row {
    std::int64_t timestamp;
    int channel;
    std::int64_t cps;
};

std::vector<Row> parseRows(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Row r{};
        char comma1 = 0;
        char comma2 = 0;
        std::istringstream fields(line);
        fields >> r.timestamp >> comma1 >> r.channel >> comma2 >> r.cps;
        EXPECT_TRUE(fields && comma1 == ',' && comma2 == ',' && fields.peek() == EOF) << line;
        rows.push_back(r);
    }
    return rows;
}

class CountRatesTest : public ::testing::Test {
protected:
    explicit CountRatesTest(const InstrumentConfig& config = pairConfig())
        : instrument_(std::make_unique<Instrument>(config, clock_)) {}

    RateMeter& meter() { return instrument_->rateMeter(); }
    // What "get_single_cps" and "get_coins_cps" do.
    std::int64_t rate(RateKind kind, int channel) {
        meter().keepHistory();
        instrument_->advanceSignal();
        return meter().rate(kind, channel).value;
    }
    void pass(std::int64_t ms, std::int64_t stepMs = 50) {
        for (std::int64_t t = 0; t < ms; t += stepMs) {
            clock_->advancePs(stepMs * kMillisecondPs);
            instrument_->advanceSignal();
        }
    }

    std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
    std::unique_ptr<Instrument> instrument_;
};

TEST_F(CountRatesTest, SingleRatesCountTheLastSecondOfEachChannel) {
    clock_->advancePs(5000 * kMillisecondPs);  // a pause: the meter produces the last second only
    expectPoisson(rate(RateKind::Single, 1), kBackgroundCps + kPairCps, "channel 1");
    expectPoisson(rate(RateKind::Single, 2), kBackgroundCps + kPairCps, "channel 2");
    expectPoisson(rate(RateKind::Single, 3), kBackgroundCps, "channel 3");
    instrument_->setChannelEnabled(3, false);
    pass(1100);
    EXPECT_EQ(rate(RateKind::Single, 3), 0);
    expectPoisson(rate(RateKind::Single, 4), kBackgroundCps, "channel 4");
}

TEST_F(CountRatesTest, CoincidencesNeedAnotherChannelWithinTheWindow) {
    clock_->advancePs(2000 * kMillisecondPs);
    // 1500 ps apart, the pairs lie outside the default 1000 ps window: only
    // accidental coincidences (about one a second) remain.
    EXPECT_LT(rate(RateKind::Coincidence, 1), 20);
    ASSERT_EQ(instrument_->setBoardSetting(BoardSetting::CoinsTimeWindow, 3000), ModelError::None);
    pass(1100);
    expectPoisson(rate(RateKind::Coincidence, 1), kPairCps, "channel 1");
    expectPoisson(rate(RateKind::Coincidence, 2), kPairCps, "channel 2");
    EXPECT_LT(rate(RateKind::Coincidence, 3), 20);
}

TEST_F(CountRatesTest, RatesGoOnAcrossATimeBaseRestart) {
    meter().keepHistory();
    pass(1000);
    instrument_->resetTdc();
    pass(500);
    expectPoisson(rate(RateKind::Single, 3), kBackgroundCps, "channel 3");
}

// The meter never stops counting: right after power-on, and right after a time
// base restart that followed a pause nobody watched, a read covers a full
// second (the missed signal is produced on demand), and a recording's first
// row is a full second's count.
TEST_F(CountRatesTest, TheFirstReadAfterPowerOnOrAnUnwatchedRestartCoversAFullSecond) {
    clock_->advancePs(5 * kMillisecondPs);
    const std::int64_t singles = rate(RateKind::Single, 1);
    expectPoisson(singles, kBackgroundCps + kPairCps, "right after power-on");
    EXPECT_LE(rate(RateKind::Coincidence, 1), singles);

    auto clock = std::make_shared<ManualSimClock>();
    Instrument restarted(pairConfig(), clock);
    clock->advancePs(3000 * kMillisecondPs);
    restarted.resetTdc();
    clock->advancePs(5 * kMillisecondPs);
    restarted.rateMeter().keepHistory();
    restarted.advanceSignal();
    expectPoisson(restarted.rateMeter().rate(RateKind::Single, 3).value, kBackgroundCps, "after a restart");

    // What "start_single_cps_recording" does, on a third instrument.
    Instrument recorded(pairConfig(), clock);
    clock->advancePs(5 * kMillisecondPs);
    recorded.rateMeter().keepHistory();
    recorded.advanceSignal();
    recorded.rateMeter().startRecording(RateKind::Single);
    for (int step = 0; step < 11; ++step) {
        clock->advancePs(10 * kMillisecondPs);
        recorded.advanceSignal();
    }
    const std::vector<Row> rows = parseRows(recorded.rateMeter().takeRecording(RateKind::Single));
    ASSERT_EQ(rows.size(), 4u);
    expectPoisson(rows[0].cps, kBackgroundCps + kPairCps, "first recorded row");
}

TEST_F(CountRatesTest, ChannelsOutsideTheRangeAreRefused) {
    EXPECT_EQ(meter().rate(RateKind::Single, 0).error, ModelError::ChannelOutOfRange);
    EXPECT_EQ(meter().rate(RateKind::Coincidence, 5).error, ModelError::ChannelOutOfRange);
}

TEST_F(CountRatesTest, RecordingSamplesEveryChannelAtTheIntervalSinceItsStart) {
    meter().keepHistory();
    pass(1000);
    instrument_->advanceSignal();
    meter().startRecording(RateKind::Single);
    pass(1000, 30);
    clock_->advancePs(10 * kMillisecondPs);  // the last sample needs the signal a window past it
    instrument_->advanceSignal();
    const std::vector<Row> rows = parseRows(meter().takeRecording(RateKind::Single));
    ASSERT_EQ(rows.size(), 10u * 4);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].timestamp, 100 * static_cast<std::int64_t>(i / 4 + 1));
        EXPECT_EQ(rows[i].channel, static_cast<int>(i % 4) + 1);
        expectPoisson(rows[i].cps, rows[i].channel <= 2 ? kBackgroundCps + kPairCps : kBackgroundCps, "row");
    }
    EXPECT_EQ(meter().takeRecording(RateKind::Single), "");  // the fetch ended it
}

TEST_F(CountRatesTest, RecordingsOfBothKindsRunApartAndAStartDropsTheEarlierRows) {
    instrument_->setBoardSetting(BoardSetting::CoinsTimeWindow, 3000);
    meter().startRecording(RateKind::Coincidence);
    meter().startRecording(RateKind::Single);
    pass(300);
    meter().startRecording(RateKind::Single);  // starts over
    pass(200);
    clock_->advancePs(10 * kMillisecondPs);
    instrument_->advanceSignal();
    const std::vector<Row> singles = parseRows(meter().takeRecording(RateKind::Single));
    const std::vector<Row> coins = parseRows(meter().takeRecording(RateKind::Coincidence));
    ASSERT_EQ(singles.size(), 2u * 4);
    ASSERT_EQ(coins.size(), 5u * 4);
    EXPECT_EQ(coins.back().timestamp, 500);
    EXPECT_EQ(coins[0].channel, 1);
    EXPECT_GT(coins[4 * 4].cps, coins[4 * 4 + 2].cps);  // channel 1's pairs against channel 3's accidentals
}

class ShortRecordingTest : public CountRatesTest {
protected:
    static InstrumentConfig config() {
        InstrumentConfig c = pairConfig();
        c.rates.sampleIntervalMs = 500;
        c.rates.maxRecordingS = 1;
        return c;
    }
    ShortRecordingTest() : CountRatesTest(config()) {}
};

TEST_F(ShortRecordingTest, ARecordingStopsSamplingAfterItsLongestDurationAndKeepsItsRows) {
    meter().startRecording(RateKind::Single);
    pass(3000, 100);
    const std::vector<Row> rows = parseRows(meter().takeRecording(RateKind::Single));
    ASSERT_EQ(rows.size(), 2u * 4);
    EXPECT_EQ(rows.back().timestamp, 1000);
}

TEST_F(CountRatesTest, ResetStateEndsTheRecordings) {
    meter().startRecording(RateKind::Single);
    pass(300);
    instrument_->resetState();
    EXPECT_EQ(meter().takeRecording(RateKind::Single), "");
    EXPECT_EQ(meter().historyNeededPs(), 0);
}

}  // namespace
}  // namespace veltrano::sim
