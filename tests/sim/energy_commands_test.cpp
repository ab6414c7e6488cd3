// The pulse analyses through the dispatcher: time over threshold, energy
// spectra, coincidence-gated energy and A/D sampling; their keys and result
// codes, reply shapes, record fetches and record files, and their stop commands.
#include <filesystem>

#include "ad_pair_signal.h"
#include "dispatcher_fixture.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kEmpty{0, 0, 0, 0};

class EnergyCommandsTest : public DispatcherFixture {
protected:
    EnergyCommandsTest() { build(adPairSignalConfig()); }

    static Json tot(int channel, int enable, const std::string& file = "") {
        return Json{{"cmd", "tot_analysis"},     {"duration", 1},          {"ch", channel},
                    {"enable_tot_data", enable}, {"folder_path", "pulses"}, {"file_name", file}};
    }
    static Json es(int channel, int enable, const std::string& file = "") {
        return Json{{"cmd", "es_analysis"},       {"duration", 1},        {"ch", channel},
                    {"ad_integration_point", 64}, {"area_scale", 16},     {"enable_es_data", enable},
                    {"folder_path", "pulses"},    {"file_name", file}};
    }
    static Json conform() {
        return Json{{"cmd", "conform_es_analysis"}, {"duration", 1},        {"ch1", 1},
                    {"ch2", 3},                     {"ad_integration_point", 64}, {"area_scale", 16},
                    {"coins_time_window", 10000},   {"avg_times", 1},     {"energy_window_min1", 0},
                    {"energy_window_max1", 1000},   {"energy_window_min2", 0}, {"energy_window_max2", 1000}};
    }
    static Json ad(int channel, std::int64_t samplingNum) {
        return Json{{"cmd", "ad_analysis"},         {"duration", 1}, {"ch", channel},
                    {"ad_integration_point", 32}, {"sampling_num", samplingNum}};
    }
    // The refusals of `start` with its key changed, and that nothing started.
    void expectRefused(const Json& start, const std::string& key, const Json& value, int code) {
        EXPECT_EQ(call(withKey(start, key, value))["result"], code) << key << " = " << value.dump();
        EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle) << key;
    }
    // The records of a TOT or ES payload as (value, number).
    static std::vector<std::pair<std::int32_t, std::uint32_t>> records(const std::vector<std::uint8_t>& payload) {
        std::vector<std::pair<std::int32_t, std::uint32_t>> out;
        if (payload.size() < 4) {
            ADD_FAILURE() << "record payload of " << payload.size() << " bytes";
            return out;
        }
        const auto count = readLittleEndian<std::uint32_t>(payload.data());
        EXPECT_EQ(payload.size(), 4 + 8 * std::size_t{count});
        for (std::size_t i = 0; i < count && 4 + 8 * (i + 1) <= payload.size(); ++i) {
            out.emplace_back(readLittleEndian<std::int32_t>(payload.data() + 4 + 8 * i),
                             readLittleEndian<std::uint32_t>(payload.data() + 8 + 8 * i));
        }
        return out;
    }
};

TEST_F(EnergyCommandsTest, TimeOverThresholdStartChecksItsKeys) {
    const Json good = tot(2, 0);
    expectRefused(without(good, "duration"), "ch", 2, 3);
    expectRefused(good, "ch", "2", 3);
    expectRefused(good, "enable_tot_data", 1.0, 3);
    expectRefused(good, "file_name", 5, 3);
    expectRefused(good, "ch", 0, 4);
    expectRefused(good, "ch", 5, 4);
    expectRefused(good, "duration", 0, 5);
    // Any channel may measure pulse widths; the records are optional.
    EXPECT_EQ(call(without(without(good, "enable_tot_data"), "file_name")), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(EnergyCommandsTest, EnergySpectrumStartTakesOnlyAdChannelsAndChecksItsAdSettings) {
    const Json good = es(1, 0);
    expectRefused(good, "ch", 2, 4);
    expectRefused(good, "ch", 4, 4);
    expectRefused(good, "ch", 0, 4);
    expectRefused(good, "ad_integration_point", 0, 5);
    expectRefused(good, "ad_integration_point", 1025, 5);
    expectRefused(good, "ad_integration_point", "64", 3);
    expectRefused(good, "area_scale", 0, 5);
    expectRefused(good, "area_scale", -16, 5);
    expectRefused(good, "area_scale", 65536, 5);
    expectRefused(good, "enable_es_data", "1", 3);
    expectRefused(without(good, "ch"), "duration", 1, 3);
    EXPECT_EQ(call(withKey(good, "ch", 3)), (Json{{"result", 0}}));
}

TEST_F(EnergyCommandsTest, EnergySpectrumStartWithoutAdKeysTakesTheChannelsAndBoardsAdSettings) {
    const Json bare = without(without(es(1, 1), "ad_integration_point"), "area_scale");
    // Defaults 64 samples, scale 1: the 662 keV peak near 662 x 16 x 0.98 codes.
    ASSERT_EQ(call(bare)["result"], 0);
    pass(200);
    double widest = 0;
    for (const auto& [value, number] : records(binary(Json{{"cmd", "fetch_es_data"}}))) {
        widest = std::max(widest, static_cast<double>(value));
    }
    EXPECT_GT(widest, 9000);
    // 1024 samples scaled down by 16: codes in keV.
    ASSERT_EQ(call(Json{{"cmd", "set_adp"}, {"channel", 1}, {"value", 1024}})["result"], 0);
    ASSERT_EQ(call(Json{{"cmd", "set_adareascale"}, {"value", 16}})["result"], 0);
    ASSERT_EQ(call(bare)["result"], 0);
    pass(200);
    const auto kev = records(binary(Json{{"cmd", "fetch_es_data"}}));
    ASSERT_FALSE(kev.empty());
    for (const auto& [value, number] : kev) ASSERT_LT(value, 900);
    // A key that is given wins over the settings.
    ASSERT_EQ(call(withKey(bare, "area_scale", 1))["result"], 0);
    pass(200);
    widest = 0;
    for (const auto& [value, number] : records(binary(Json{{"cmd", "fetch_es_data"}}))) {
        widest = std::max(widest, static_cast<double>(value));
    }
    EXPECT_GT(widest, 9000);
}

TEST_F(EnergyCommandsTest, ConformStartChecksItsChannelsWindowsAndAverages) {
    const Json good = conform();
    expectRefused(good, "ch2", 1, 5);  // the same channel twice
    expectRefused(good, "ch2", 2, 4);
    expectRefused(good, "ch1", 7, 4);
    expectRefused(good, "ch1", "1", 3);
    expectRefused(good, "coins_time_window", 0, 5);
    expectRefused(good, "coins_time_window", 1000000001, 5);
    expectRefused(good, "avg_times", 0, 5);
    expectRefused(good, "energy_window_min1", -1, 5);
    expectRefused(good, "energy_window_min1", 1000, 5);  // not below its max
    expectRefused(good, "energy_window_max2", 0, 5);
    expectRefused(good, "energy_window_max2", 1000.5, 3);
    expectRefused(without(good, "energy_window_min2"), "ch1", 1, 3);
    expectRefused(good, "ad_integration_point", 0, 5);
    expectRefused(good, "area_scale", 0, 5);
    EXPECT_EQ(call(withKey(withKey(good, "ch1", 3), "ch2", 1)), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(EnergyCommandsTest, AdStartChecksItsChannelAndSamplingNumber) {
    const Json good = ad(1, 100);
    expectRefused(good, "ch", 2, 4);
    expectRefused(good, "sampling_num", 0, 5);
    expectRefused(good, "sampling_num", 1048577, 5);
    expectRefused(without(good, "sampling_num"), "ch", 1, 3);
    expectRefused(good, "ad_integration_point", 1025, 5);
    expectRefused(good, "sampling_num", "100", 3);
    EXPECT_EQ(call(good), (Json{{"result", 0}}));
}

TEST_F(EnergyCommandsTest, FetchesAnswerEmptyListsWithoutARunOfTheirKind) {
    for (const char* fetch : {"fetch_tot_data", "fetch_es_data", "fetch_ces_area1_processdata",
                              "fetch_ces_area2_processdata", "fetch_analysis_rawdata", "fetch_processdata"}) {
        EXPECT_EQ(binary(Json{{"cmd", fetch}}), kEmpty) << fetch;
    }
    // A TOT run keeping records has no ES records, spectra or samples.
    ASSERT_EQ(call(tot(1, 1))["result"], 0);
    pass(100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_es_data"}}), kEmpty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ces_area1_processdata"}}), kEmpty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_analysis_rawdata"}}), kEmpty);
    // An A/D run streams samples only: no processed data.
    ASSERT_EQ(call(ad(1, 100))["result"], 0);
    pass(100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_processdata"}}), kEmpty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_tot_data"}}), kEmpty);
    // The area fetches ignore the keys the library's saver adds.
    ASSERT_EQ(call(conform())["result"], 0);
    pass(200);
    EXPECT_FALSE(points(Json{{"cmd", "fetch_ces_area2_processdata"}, {"stability_metric_type", 0},
                             {"start_chan", -1}, {"stop_chan", -1}})
                     .empty());
}

TEST_F(EnergyCommandsTest, PulseRecordsAreHandedOutOnceAndOnlyByTheirOwnFetch) {
    ASSERT_EQ(call(tot(3, 1))["result"], 0);
    pass(100);
    const auto first = records(binary(Json{{"cmd", "fetch_tot_data"}}));
    pass(100);
    const auto second = records(binary(Json{{"cmd", "fetch_tot_data"}}));
    // 200 ms of channel 3: its dark counts and the pairs' second arm.
    const double expected = 0.2 * (kLightBackgroundCps + kLightPairCps);
    EXPECT_NEAR(static_cast<double>(first.size() + second.size()), expected, 5 * std::sqrt(expected));
    std::uint32_t number = 0;
    for (const auto* batch : {&first, &second}) {
        for (const auto& [width, n] : *batch) {
            EXPECT_EQ(n, number++);
            EXPECT_GT(width, 2000);
            EXPECT_LT(width, 14000);
        }
    }
    EXPECT_EQ(binary(Json{{"cmd", "fetch_tot_data"}}), kEmpty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_es_data"}}), kEmpty);
    // The histogram counts the same pulses.
    double counted = 0;
    for (const DecodedPoint& p : points(Json{{"cmd", "fetch_processdata"}})) counted += p.y;
    EXPECT_EQ(counted, static_cast<double>(number));

    ASSERT_EQ(call(es(1, 0))["result"], 0);  // records not asked for
    pass(100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_es_data"}}), kEmpty);
    ASSERT_EQ(call(es(1, 1))["result"], 0);
    pass(100);
    const auto areas = records(binary(Json{{"cmd", "fetch_es_data"}}));
    ASSERT_FALSE(areas.empty());
    EXPECT_EQ(areas.front().second, 0u);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_tot_data"}}), kEmpty);
}

TEST_F(EnergyCommandsTest, WithAFileNameTheRecordsGoToServiceSideFiles) {
    ASSERT_EQ(call(tot(1, 1, "widths.csv"))["result"], 0);
    pass(1100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_tot_data"}}), kEmpty);
    const fs::path widths = dir_.path() / "pulses" / "widths_tot.bin";
    ASSERT_TRUE(fs::exists(widths));
    EXPECT_EQ(fs::file_size(widths) % 8, 0u);
    const double expected = kLightBackgroundCps + kLightPairCps;
    EXPECT_NEAR(static_cast<double>(fs::file_size(widths) / 8), expected, 5 * std::sqrt(expected));

    ASSERT_EQ(call(es(1, 1, "spectrum"))["result"], 0);
    pass(1100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_es_data"}}), kEmpty);
    EXPECT_GT(fs::file_size(dir_.path() / "pulses" / "spectrum_es.bin"), 0u);
    // Without records asked for, no file.
    ASSERT_EQ(call(tot(1, 0, "plain"))["result"], 0);
    EXPECT_FALSE(fs::exists(dir_.path() / "pulses" / "plain_tot.bin"));
    // A folder that is a file cannot hold the record file: nothing starts.
    veltest::writeTextFile(dir_.path() / "blocked", "x");
    EXPECT_EQ(call(withKey(es(1, 1, "x"), "folder_path", "blocked"))["result"], 11);
    EXPECT_EQ(call(withKey(tot(1, 1, "x"), "folder_path", "blocked"))["result"], 11);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(EnergyCommandsTest, EachStopCommandStopsItsOwnKindOnly) {
    const std::vector<std::pair<Json, const char*>> runs{{tot(1, 0), "stop_tot_analysis"},
                                                          {es(1, 0), "stop_es_analysis"},
                                                          {conform(), "stop_conform_es_analysis"},
                                                          {ad(1, 100), "stop_ad_analysis"}};
    for (const auto& [start, own] : runs) {
        ASSERT_EQ(call(start)["result"], 0) << own;
        for (const auto& [other_start, other] : runs) {
            if (std::string(other) == own) continue;
            EXPECT_EQ(call(Json{{"cmd", other}}), (Json{{"result", 0}}));
            EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running) << own << " after " << other;
        }
        pass(100);
        EXPECT_EQ(call(Json{{"cmd", own}}), (Json{{"result", 0}}));
        EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Stopped) << own;
    }
}

}  // namespace
}  // namespace veltrano::sim
