// The results of an n-fold coincidence analysis: the count-rate files its stop
// saves per strategy of the latest start, the count-rate reads and fetches,
// and the raw coincidence records with their decoding limits.

#include "analysis/record_fetch.h"
#include "point_payload.h"
#include "support/service_session.h"
#include "timestamped_file.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::appendLe;
using veltest::pointPayload;
using veltest::dataLines;
using veltest::readTextFile;

constexpr int kLongDuration = 3600;
constexpr int kLongTimeoutMs = 60000;
const std::string kHeader = "time(s), cps\n";
const std::string kStop = "{\"cmd\":\"stop_ncoins_analysis\"}\n";
const int32_t kChannels[] = {1, 2};

struct WireRecord {
    int64_t first;
    int32_t second;
    int64_t third;
    int32_t fourth;
    int64_t fifth;
};

// The raw-record payload: count, then packed 32-byte little-endian records.
std::string recordPayload(const std::vector<WireRecord>& records, int64_t announced = -1) {
    std::string out;
    appendLe(out, static_cast<uint32_t>(announced < 0 ? records.size() : static_cast<uint64_t>(announced)), 4);
    for (const WireRecord& r : records) {
        appendLe(out, static_cast<uint64_t>(r.first), 8);
        appendLe(out, static_cast<uint32_t>(r.second), 4);
        appendLe(out, static_cast<uint64_t>(r.third), 8);
        appendLe(out, static_cast<uint32_t>(r.fourth), 4);
        appendLe(out, static_cast<uint64_t>(r.fifth), 8);
    }
    return out;
}

class NCoincidenceResults : public veltest::ServiceSessionTest {
protected:
    // Starts with strategies of the given names; the start takes the first reply.
    void start(const std::vector<const char*>& names, const char* folder, const char* fileName,
               uint8_t enableRawData = 0) {
        std::vector<NCOINS_STRATEGY> strategies;
        for (const char* name : names) {
            strategies.push_back({name, kChannels, 2, 1});
        }
        service.replyJson({{"result", 0}});
        ASSERT_EQ(ci_ncoins_analysis(handle, kLongDuration, strategies.data(), static_cast<int>(strategies.size()),
                                     enableRawData, folder, fileName),
                  0);
    }
    std::vector<std::string> requestsAfterStart(size_t starts = 1) const {
        const auto all = service.requests();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(starts), all.end());
    }
    fs::path folder() const { return dir.path() / "nc"; }
};

TEST_F(NCoincidenceResults, SaverWritesOneFilePerStrategyOfTheLatestStartOnly) {
    start({"A", "B"}, folder().string().c_str(), "run1");
    start({"C"}, folder().string().c_str(), "run2");
    service.replyBinary(pointPayload({{1, 100}, {2, 250.5}}));
    ASSERT_EQ(ci_stop_ncoins_analysis(handle), 0);

    EXPECT_EQ(requestsAfterStart(2),
              (std::vector<std::string>{"{\"cmd\":\"fetch_ncoins_cps\",\"strategy_index\":0}\n", kStop}));
    const auto files = veltest::fileNamesIn(folder());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(veltest::isTimestampedCsv(files[0], "run2_C")) << files[0];
    EXPECT_EQ(readTextFile(folder() / files[0]), kHeader + dataLines("1,100\n2,250.5\n"));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(NCoincidenceResults, SaverUsesTheOutputFolderAndIndexesStrategiesInOrder) {
    start({"A", "B"}, nullptr, "run");
    service.replyBinary(pointPayload({{1, 5}}));
    service.replyBinary(pointPayload({}));
    ASSERT_EQ(ci_stop_ncoins_analysis(handle), 0);

    EXPECT_EQ(requestsAfterStart(), (std::vector<std::string>{"{\"cmd\":\"fetch_ncoins_cps\",\"strategy_index\":0}\n",
                                                              "{\"cmd\":\"fetch_ncoins_cps\",\"strategy_index\":1}\n",
                                                              kStop}));
    const fs::path output = dir.path() / "output";
    EXPECT_EQ(readTextFile(veltest::timestampedFile(output, "run_A")), kHeader + dataLines("1,5\n"));
    EXPECT_EQ(readTextFile(veltest::timestampedFile(output, "run_B")), kHeader);
}

TEST_F(NCoincidenceResults, FailedCountRateFetchEndsTheSaverButTheStopIsSent) {
    start({"A", "B"}, folder().string().c_str(), "run");
    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_stop_ncoins_analysis(handle), -1);
    EXPECT_EQ(requestsAfterStart(),
              (std::vector<std::string>{"{\"cmd\":\"fetch_ncoins_cps\",\"strategy_index\":0}\n", kStop}));
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch ncoins cps data failed",
                                                      "Save process data to file failed for analysis type:8"}));
}

TEST_F(NCoincidenceResults, WithoutFileNameTheStopOnlyStops) {
    start({"A"}, folder().string().c_str(), nullptr);
    ASSERT_EQ(ci_stop_ncoins_analysis(handle), 0);
    EXPECT_EQ(requestsAfterStart(), std::vector<std::string>{kStop});
}

TEST_F(NCoincidenceResults, CountRateReadAndHistoryFetch) {
    service.replyJson({{"result", 0}, {"data", 1234}});
    EXPECT_EQ(ci_get_ncoins_cps(handle, 2), 1234);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"get_ncoins_cps\",\"strategy_index\":2}\n");

    service.replyBinary(pointPayload({{0.5, 99.5}, {-1.5, 3}}));
    int count = -1;
    int64_t* pairs = ci_fetch_ncoins_cps(handle, 1, &count);
    ASSERT_NE(pairs, nullptr);
    EXPECT_EQ(std::vector<int64_t>(pairs, pairs + 2 * count), (std::vector<int64_t>{1, 100, -2, 3}));
    ci_free_int64_data(pairs);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"fetch_ncoins_cps\",\"strategy_index\":1}\n");

    service.replyJson({{"result", 0}});
    EXPECT_EQ(ci_fetch_ncoins_cps(handle, 1, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Fetch ncoins cps data failed"});
}

TEST_F(NCoincidenceResults, RawRecordsAreWidenedWithSignExtension) {
    start({"A"}, nullptr, nullptr, 1);
    service.replyBinary(recordPayload({{-5, -2, INT64_MAX, 7, INT64_MIN}, {1, INT32_MIN, 2, INT32_MAX, 3}}) + "xyz");
    int count = -1;
    int64_t* values = ci_fetch_ncoins_rawdata(handle, 3, &count, kLongTimeoutMs);
    ASSERT_NE(values, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<int64_t>(values, values + 10),
              (std::vector<int64_t>{-5, -2, INT64_MAX, 7, INT64_MIN, 1, INT32_MIN, 2, INT32_MAX, 3}));
    ci_free_int64_data(values);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"fetch_ncoins_rawdata\",\"strategy_index\":3}\n");
}

TEST_F(NCoincidenceResults, RawFetchRepeatsWhileThereAreNoRecordsUntilTheTimeout) {
    start({"A"}, nullptr, nullptr, 1);
    service.replyBinary(recordPayload({}));
    service.replyBinary(recordPayload({{1, 2, 3, 4, 5}}));
    int count = -1;
    int64_t* values = ci_fetch_ncoins_rawdata(handle, 0, &count, kLongTimeoutMs);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(count, 1);
    ci_free_int64_data(values);
    EXPECT_EQ(requestsAfterStart().size(), 2u);

    service.replyBinary(recordPayload({}));
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle, 0, &count, 0), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(requestsAfterStart().size(), 3u);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(NCoincidenceResults, RawFetchFailuresNameTheIndex) {
    start({"A"}, nullptr, nullptr, 1);
    int count = -1;
    service.replyJson({{"result", 0}});
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle, 4, &count, kLongTimeoutMs), nullptr);
    service.replyBinary(recordPayload({{1, 2, 3, 4, 5}}, 2));  // announces a record it does not carry
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle, 5, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch ncoins raw data failed",
                                                      "Fetch ncoins raw data failed for index: 4",
                                                      "Fetch ncoins raw data failed for index: 5"}));
}

TEST_F(NCoincidenceResults, RawFetchGivesNullAtOnceUnlessRecordsStayWithTheLibrary) {
    int count = -1;
    start({"A"}, nullptr, nullptr, 0);  // raw records not enabled
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle, 0, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(count, 0);
    start({"A"}, nullptr, "run", 1);  // the service keeps them in its files
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle, 0, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(ci_fetch_ncoins_rawdata(handle + 100, 0, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(service.requests().size(), 2u);
}

TEST(NCoincidenceRecordDecoding, RejectsShortPayloadsAndHugeCountsBeforeAllocating) {
    std::vector<int64_t> values(5, 7);
    const std::string one = recordPayload({{1, 2, 3, 4, 5}});
    const auto decode = [&](const std::string& payload) {
        return vel::analysis::decodeRecords(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(),
                                            vel::analysis::kNCoinsRecords, values);
    };
    EXPECT_FALSE(decode(one.substr(0, 3)));
    EXPECT_FALSE(decode(one.substr(0, one.size() - 1)));
    std::string huge;
    appendLe(huge, 0x80000000u, 4);
    EXPECT_FALSE(decode(huge + std::string(64, '\0')));
    EXPECT_EQ(values.size(), 5u);  // untouched by rejected payloads

    EXPECT_TRUE(decode(recordPayload({})));
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(decode(one));
    EXPECT_EQ(values, (std::vector<int64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(vel::analysis::kNCoinsRecords.wireSize, one.size() - 4);
}

TEST(NCoincidenceRecordDecoding, EmptyRecordListGivesNoArray) {
    int count = -1;
    EXPECT_EQ(vel::analysis::toRecordArray({}, vel::analysis::kNCoinsRecords, &count), nullptr);
    EXPECT_EQ(count, 0);
}

}  // namespace
