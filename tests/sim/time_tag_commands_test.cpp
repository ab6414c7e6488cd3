// "fetch_t2_data" and "fetch_t3_data": the records of the run held, handed out
// once in their wire layouts, empty lists otherwise, and the record files a
// run with a file name writes instead.
#include <filesystem>
#include <fstream>

#include "dispatcher_fixture.h"
#include "light_signal.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kNoRecords{0, 0, 0, 0};

class TimeTagCommandsTest : public DispatcherFixture {
protected:
    TimeTagCommandsTest() { build(lightSignalConfig()); }

    static Json autocorrelation(int enableT2, const std::string& file = "") {
        return Json{{"cmd", "autocorrelation_analysis"}, {"duration", 1}, {"ch", 1},
                    {"min_tau", -1e-8},                  {"max_tau", 1e-8}, {"bin_num", 20},
                    {"enable_t2_data", enableT2},       {"folder_path", "tags"}, {"file_name", file}};
    }
    // The records of a payload, checking its count against its size.
    static std::vector<std::vector<std::uint8_t>> records(const std::vector<std::uint8_t>& payload,
                                                          std::size_t recordBytes) {
        std::vector<std::vector<std::uint8_t>> out;
        if (payload.size() < 4) {
            ADD_FAILURE() << "record payload of " << payload.size() << " bytes";
            return out;
        }
        const auto count = readLittleEndian<std::uint32_t>(payload.data());
        EXPECT_EQ(payload.size(), 4 + recordBytes * count);
        for (std::size_t i = 0; i < count && 4 + (i + 1) * recordBytes <= payload.size(); ++i) {
            const auto* r = payload.data() + 4 + i * recordBytes;
            out.emplace_back(r, r + recordBytes);
        }
        return out;
    }
    std::vector<std::vector<std::uint8_t>> fetch(const char* command, std::size_t recordBytes) {
        return records(binary(Json{{"cmd", command}}), recordBytes);
    }
};

TEST_F(TimeTagCommandsTest, BothFetchesAnswerEmptyListsWithoutRecordsOfTheirKind) {
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t2_data"}}), kNoRecords);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t3_data"}}), kNoRecords);
    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);  // T3 records not asked for
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t3_data"}}), kNoRecords);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t2_data"}}), kNoRecords);
    ASSERT_EQ(call(autocorrelation(0))["result"], 0);
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t2_data"}}), kNoRecords);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t3_data"}}), kNoRecords);
}

TEST_F(TimeTagCommandsTest, T2RecordsCarryTheChannelAndItsTagsOnce) {
    ASSERT_EQ(call(autocorrelation(1))["result"], 0);
    pass(200);
    const auto first = fetch("fetch_t2_data", 12);
    pass(100);
    const auto second = fetch("fetch_t2_data", 12);
    // 300 ms of channel 1: its dark counts and the pairs' first arm.
    const double expected = 0.3 * (kLightBackgroundCps + kLightPairCps);
    EXPECT_NEAR(static_cast<double>(first.size() + second.size()), expected, 5 * std::sqrt(expected));
    std::int64_t previous = -1;
    for (const auto* batch : {&first, &second}) {
        for (const auto& r : *batch) {
            EXPECT_EQ(readLittleEndian<std::int32_t>(r.data()), 1);
            const auto tag = readLittleEndian<std::int64_t>(r.data() + 4);
            EXPECT_GT(tag, previous);
            EXPECT_LT(tag, 300 * kAnalysisMillisecondPs);
            previous = tag;
        }
    }
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t2_data"}}), kNoRecords);
}

TEST_F(TimeTagCommandsTest, T3RecordsComeFromTimeOfFlightAndStartStopRuns) {
    Json start = tof(1, 1, 2, 10000);
    start["enable_t3_data"] = 1;
    ASSERT_EQ(call(start)["result"], 0);
    pass(200);
    const auto flight = fetch("fetch_t3_data", 16);
    EXPECT_NEAR(static_cast<double>(flight.size()), 0.2 * kLightPairCps, 5 * std::sqrt(0.2 * kLightPairCps) + 50);
    std::size_t nearDelay = 0;
    for (const auto& r : flight) {
        EXPECT_EQ(readLittleEndian<std::int32_t>(r.data() + 4), 1);
        EXPECT_LE(std::abs(readLittleEndian<std::int32_t>(r.data() + 8)), 10000);
        EXPECT_EQ(readLittleEndian<std::uint32_t>(r.data() + 12), 2u);
        if (std::abs(readLittleEndian<std::int32_t>(r.data() + 8) - 1500) < 500) ++nearDelay;
    }
    EXPECT_GT(nearDelay, flight.size() * 9 / 10);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t3_data"}}), kNoRecords);

    Json groups = startstop(1, Json{{"1", {2, 3}}}, Json::object(), 10000);
    groups["enable_t3_data"] = 1;
    ASSERT_EQ(call(groups)["result"], 0);
    pass(200);
    const auto stops = fetch("fetch_t3_data", 16);
    ASSERT_FALSE(stops.empty());
    for (const auto& r : stops) {
        EXPECT_EQ(readLittleEndian<std::int32_t>(r.data() + 4), 1);
        const auto tdiff = readLittleEndian<std::int32_t>(r.data() + 8);
        EXPECT_GE(tdiff, 0);
        EXPECT_LT(tdiff, 10000);
        const auto stop = readLittleEndian<std::uint32_t>(r.data() + 12);
        EXPECT_TRUE(stop == 2u || stop == 3u) << stop;
    }
}

TEST_F(TimeTagCommandsTest, WithAFileNameTheRecordsGoToTheServiceSideFileInstead) {
    ASSERT_EQ(call(autocorrelation(1, "tags.csv"))["result"], 0);
    pass(1100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t2_data"}}), kNoRecords);
    const fs::path file = dir_.path() / "tags" / "tags_t2.bin";
    ASSERT_TRUE(fs::exists(file));
    const auto size = fs::file_size(file);
    EXPECT_EQ(size % 12, 0u);
    const double expected = kLightBackgroundCps + kLightPairCps;
    EXPECT_NEAR(static_cast<double>(size / 12), expected, 5 * std::sqrt(expected));
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> head(12);
    in.read(reinterpret_cast<char*>(head.data()), 12);
    EXPECT_EQ(readLittleEndian<std::int32_t>(head.data()), 1);

    Json start = tof(1, 1, 2, 10000);
    start["enable_t3_data"] = 1;
    start["file_name"] = "flight";
    ASSERT_EQ(call(start)["result"], 0);
    pass(1100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_t3_data"}}), kNoRecords);
    EXPECT_GT(fs::file_size(dir_.path() / "flight_t3.bin"), 0u);
    // A folder that is a file cannot hold the T2 file: nothing starts.
    veltest::writeTextFile(dir_.path() / "blocked", "x");
    Json blocked = autocorrelation(1, "x");
    blocked["folder_path"] = "blocked";
    EXPECT_EQ(call(blocked)["result"], 11);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Ended);
}

}  // namespace
}  // namespace veltrano::sim
