// The record fetches (T2, T3, time over threshold, energy spectrum): payload
// decoding with its sign and zero extension and size rules, the flags of the
// latest start that decide whether the service is asked at all, the polling
// while batches are empty, and what each failure logs.

#include "analysis/record_fetch.h"
#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using veltest::appendLe;
namespace ana = vel::analysis;

std::string countHeader(uint32_t n) {
    std::string out;
    appendLe(out, n, 4);
    return out;
}

// A record payload whose records are given as (value, byte width) fields.
std::string payloadOf(const std::vector<std::vector<std::pair<uint64_t, int>>>& records) {
    std::string out = countHeader(static_cast<uint32_t>(records.size()));
    for (const auto& record : records) {
        for (const auto& [value, bytes] : record) {
            appendLe(out, value, bytes);
        }
    }
    return out;
}

bool decode(const std::string& payload, const ana::RecordLayout& layout, std::vector<int64_t>& values) {
    return ana::decodeRecords(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), layout, values);
}

// count by reference: it is read after the fetch in the same expression has run.
std::vector<int64_t> takeArray(int64_t* array, const int& count, size_t valuesPerRecord) {
    std::vector<int64_t> values;
    if (array != nullptr) {
        values.assign(array, array + static_cast<size_t>(count) * valuesPerRecord);
        ci_free_int64_data(array);
    }
    return values;
}

TEST(RecordDecoding, WidensEachFieldWithItsSignedness) {
    std::vector<int64_t> values;
    ASSERT_TRUE(decode(payloadOf({{{0xFFFFFFFBu, 4}, {0xFFFFFFFFu, 4}}}), ana::kPulseRecords, values));
    EXPECT_EQ(values, (std::vector<int64_t>{-5, 4294967295}));

    ASSERT_TRUE(decode(payloadOf({{{0xFFFFFFFFu, 4}, {0xFFFFFFFFFFFFFFF0u, 8}}}), ana::kT2Records, values));
    EXPECT_EQ(values, (std::vector<int64_t>{-1, -16}));

    ASSERT_TRUE(decode(payloadOf({{{0xFFFFFFFFu, 4}, {0xFFFFFFFFu, 4}, {0x80000000u, 4}, {0xFFFFFFFEu, 4}}}),
                       ana::kT3Records, values));
    EXPECT_EQ(values, (std::vector<int64_t>{4294967295, -1, -2147483648LL, 4294967294}));
}

TEST(RecordDecoding, NeedsEveryAnnouncedRecordAndIgnoresTrailingBytes) {
    std::vector<int64_t> values{42};
    const std::string threeT2 = payloadOf({{{1, 4}, {2, 8}}, {{3, 4}, {4, 8}}, {{5, 4}, {6, 8}}});
    ASSERT_EQ(threeT2.size(), 40u);
    EXPECT_FALSE(decode(threeT2.substr(0, 39), ana::kT2Records, values));
    EXPECT_EQ(values, (std::vector<int64_t>{42}));  // a rejected payload leaves the list alone
    ASSERT_TRUE(decode(threeT2 + "junk", ana::kT2Records, values));
    EXPECT_EQ(values, (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));

    std::string twoPulses = payloadOf({{{1, 4}, {2, 4}}, {{3, 4}, {4, 4}}});
    ASSERT_EQ(twoPulses.size(), 20u);
    EXPECT_TRUE(decode(twoPulses, ana::kPulseRecords, values));
    twoPulses[0] = 3;  // announces a third record it does not carry
    EXPECT_FALSE(decode(twoPulses, ana::kPulseRecords, values));

    EXPECT_FALSE(decode("abc", ana::kPulseRecords, values));
    EXPECT_FALSE(decode(countHeader(0x80000000u) + std::string(64, '\0'), ana::kPulseRecords, values));
    EXPECT_TRUE(decode(countHeader(0), ana::kT3Records, values));
    EXPECT_TRUE(values.empty());
}

TEST(RecordDecoding, CallerArrayRefusesEmptyAndOversizedBatches) {
    int count = -1;
    EXPECT_EQ(ana::toRecordArray({}, ana::kT2Records, &count), nullptr);
    EXPECT_EQ(count, 0);
    const ana::RecordLayout atMostOne{8, 2, 1, ana::kPulseRecords.widen};
    count = -1;
    EXPECT_EQ(ana::toRecordArray({1, 2, 3, 4}, atMostOne, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(takeArray(ana::toRecordArray({1, 2}, atMostOne, &count), count, 2), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(count, 1);
}

class RecordFetch : public veltest::ServiceSessionTest {
protected:
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    // Starts each analysis whose records are fetched, without file name and
    // with records enabled, so every fetch goes to the service.
    void startAllWithRecords() {
        ASSERT_EQ(ci_autocorrelation_analysis(handle, 3600, 1, 0.0, 1e-6, 10, 1, nullptr, nullptr), 0);
        ASSERT_EQ(ci_tof_analysis(handle, 3600, 1, 2, 100, 1, 1, nullptr, nullptr), 0);
        ASSERT_EQ(ci_tot_analysis(handle, 3600, 1, 1, nullptr, nullptr), 0);
        ASSERT_EQ(ci_es_analysis(handle, 3600, 1, 10, 1, 1, nullptr, nullptr), 0);
        started = service.requests().size();
    }

    std::vector<std::string> requestsAfterStarts() const {
        const auto all = service.requests();
        return {all.begin() + static_cast<std::ptrdiff_t>(started), all.end()};
    }

    size_t started = 0;
};

TEST_F(RecordFetch, EachFetchSendsItsCommandAndHandsOverOneBatch) {
    startAllWithRecords();
    int count = -1;
    service.replyBinary(payloadOf({{{0xFFFFFFFFu, 4}, {7, 8}}}));
    EXPECT_EQ(takeArray(ci_fetch_t2_data(handle, &count, 1000), count, 2), (std::vector<int64_t>{-1, 7}));
    EXPECT_EQ(count, 1);
    service.replyBinary(payloadOf({{{0xFFFFFFFFu, 4}, {0xFFFFFFFFu, 4}, {5, 4}, {0xFFFFFFFFu, 4}}}));
    EXPECT_EQ(takeArray(ci_fetch_t3_data(handle, &count, 1000), count, 4),
              (std::vector<int64_t>{4294967295, -1, 5, 4294967295}));
    service.replyBinary(payloadOf({{{0xFFFFFFFBu, 4}, {0xFFFFFFFFu, 4}}, {{1, 4}, {2, 4}}}));
    EXPECT_EQ(takeArray(ci_fetch_tot_data(handle, &count, 1000), count, 2),
              (std::vector<int64_t>{-5, 4294967295, 1, 2}));
    EXPECT_EQ(count, 2);
    service.replyBinary(payloadOf({{{3, 4}, {4, 4}}}));
    EXPECT_EQ(takeArray(ci_fetch_es_data(handle, &count, 1000), count, 2), (std::vector<int64_t>{3, 4}));

    EXPECT_EQ(requestsAfterStarts(),
              (std::vector<std::string>{"{\"cmd\":\"fetch_t2_data\"}\n", "{\"cmd\":\"fetch_t3_data\"}\n",
                                        "{\"cmd\":\"fetch_tot_data\"}\n", "{\"cmd\":\"fetch_es_data\"}\n"}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(RecordFetch, EmptyBatchesArePolledUntilRecordsOrTheTimeOut) {
    startAllWithRecords();
    int count = -1;
    service.replyBinary(countHeader(0));
    service.replyBinary(countHeader(0));
    service.replyBinary(payloadOf({{{9, 4}, {8, 4}}}));
    EXPECT_EQ(takeArray(ci_fetch_tot_data(handle, &count, 60000), count, 2), (std::vector<int64_t>{9, 8}));
    EXPECT_EQ(requestsAfterStarts().size(), 3u);

    // A time-out of 0 with an empty first batch: that one exchange only.
    service.replyBinary(countHeader(0));
    EXPECT_EQ(ci_fetch_es_data(handle, &count, 0), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(requestsAfterStarts().size(), 4u);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(RecordFetch, FailuresAreLoggedWithTheirOwnTexts) {
    startAllWithRecords();
    int count = -1;
    service.replyJson({{"result", 3}});
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, 60000), nullptr);
    service.replyBinary(countHeader(2) + std::string(12, '\0'));  // one record short
    EXPECT_EQ(ci_fetch_t3_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(count, 0);
    // A JSON reply is logged by the exchange and again by the fetch.
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Fetch T2 data failed", "Fetch T2 data failed", "Fetch T3 data failed"}));

    log.clear();
    service.closeOnRequest();
    EXPECT_EQ(ci_fetch_tot_data(handle, &count, 60000), nullptr);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Fetch TOT data exception: ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1], "Fetch TOT data failed");
}

TEST_F(RecordFetch, NothingIsAskedUnlessTheLatestStartKeepsRecordsForTheCaller) {
    int count = -1;
    // No start yet, and an unknown handle.
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_tot_data(handle + 100, &count, 60000), nullptr);

    // Flags other than 1 (2 for the time over threshold is not "keep").
    ASSERT_EQ(ci_autocorrelation_analysis(handle, 3600, 1, 0.0, 1e-6, 10, 0, nullptr, nullptr), 0);
    ASSERT_EQ(ci_tot_analysis(handle, 3600, 1, 2, nullptr, nullptr), 0);
    ASSERT_EQ(ci_es_analysis(handle, 3600, 1, 10, 1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(ci_startstop_analysis_json(handle, 3600, R"({"1": [2]})", "{}", 100, 0, nullptr, nullptr), 0);
    EXPECT_EQ(service.lastRequest()["enable_t3_data"], 0);
    const size_t sent = service.requests().size();
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_t3_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_tot_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_es_data(handle, &count, 60000), nullptr);

    // Kept, but written by the service into the files of a start with a file name.
    const std::string folder = (dir.path() / "runs").string();
    ASSERT_EQ(ci_autocorrelation_analysis(handle, 3600, 1, 0.0, 1e-6, 10, 1, folder.c_str(), "g2.csv"), 0);
    ASSERT_EQ(ci_tot_analysis(handle, 3600, 1, 1, folder.c_str(), "tot.csv"), 0);
    ASSERT_EQ(ci_es_analysis(handle, 3600, 1, 10, 1, 1, folder.c_str(), "es.csv"), 0);
    ASSERT_EQ(ci_tof_analysis(handle, 3600, 1, 2, 100, 1, 1, folder.c_str(), "tof.csv"), 0);
    const size_t sentWithFiles = service.requests().size();
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_t3_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_tot_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(ci_fetch_es_data(handle, &count, 60000), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(service.requests().size(), sentWithFiles);
    EXPECT_GT(sentWithFiles, sent);
    EXPECT_TRUE(state().t2ToFile && state().t3ToFile && state().totDataToFile && state().esDataToFile);
}

TEST_F(RecordFetch, ARejectedStartKeepsRecordsWithTheLibrary) {
    service.replyJson({{"result", 6}});
    const std::string folder = (dir.path() / "runs").string();
    EXPECT_EQ(ci_tot_analysis(handle, 3600, 1, 1, folder.c_str(), "tot.csv"), 6);
    EXPECT_TRUE(state().totDataEnabled);
    EXPECT_FALSE(state().totDataToFile);
}

}  // namespace
