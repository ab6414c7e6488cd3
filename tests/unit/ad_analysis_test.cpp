// The A/D analysis against a scripted service: its checks, the request, the
// raw points in file mode (written as they come) and memory mode (rounded for
// the caller).

#include "point_payload.h"
#include "support/service_session.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

constexpr int kLongDuration = 3600;
constexpr int kLongTimeoutMs = 60000;

class AdAnalysis : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "ad"; }
    std::string folderText() const { return folder().string(); }

    int start(int duration, int channel, int intervalMs, const char* fileName) {
        return ci_ad_analysis(handle, duration, channel, 16, intervalMs, 64, folderText().c_str(), fileName);
    }
};

TEST_F(AdAnalysis, ChecksChannelThenIntervalAgainstTheRun) {
    EXPECT_EQ(start(0, 1, 10, nullptr), -1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(start(2, 0, 5000, nullptr), -1);
    EXPECT_EQ(start(2, -1, 10, nullptr), -1);
    EXPECT_EQ(start(2, 3, 2001, nullptr), -1);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Invalid A/D channel specified", "Invalid A/D channel specified",
                                                      "Invalid sampling interval specified"}));
    EXPECT_TRUE(service.requests().empty());

    ASSERT_EQ(start(2, 3, 2000, nullptr), 0);
    EXPECT_EQ(service.requests()[0],
              "{\"ad_integration_point\":16,\"ch\":3,\"cmd\":\"ad_analysis\",\"duration\":2,"
              "\"sampling_num\":64}\n");
}

TEST_F(AdAnalysis, MemoryModeHandsOutRoundedPointsOnce) {
    ASSERT_EQ(start(kLongDuration, 1, 0, nullptr), 0);
    service.replyBinary(pointPayload({{12.5, -3.5}, {13, 100.49}}));
    // Later fetches meet the default JSON reply and end the cache thread.
    int count = -1;
    int64_t* points = ci_fetch_ad_rawdata(handle, &count, kLongTimeoutMs);
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<int64_t>(points, points + 4), (std::vector<int64_t>{13, -4, 13, 100}));
    ci_free_int64_data(points);
    EXPECT_EQ(ci_fetch_ad_rawdata(handle, &count, kLongTimeoutMs), nullptr);  // the thread has ended: nothing left
    EXPECT_EQ(count, 0);
    const auto errors = log.errors();
    EXPECT_NE(std::find(errors.begin(), errors.end(), "Fetch raw analysis failed, stopping A/D analysis thread"),
              errors.end());
    EXPECT_EQ(service.requests()[1], "{\"cmd\":\"fetch_analysis_rawdata\"}\n");
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(AdAnalysis, FileModeWritesThePointsUnroundedAndTheStopSavesNothing) {
    log.expectError("Fetch raw data failed");
    log.expectError("Fetch raw analysis failed, stopping A/D analysis thread");
    ASSERT_EQ(start(kLongDuration, 1, 5, "wave.csv"), 0);
    service.replyBinary(pointPayload({{12.5, -3.5}, {13, 2}}));
    service.waitForRequests(3);  // the points, then the fetch that ends the thread
    int count = -1;
    EXPECT_EQ(ci_fetch_ad_rawdata(handle, &count, 0), nullptr);
    ASSERT_EQ(ci_stop_ad_analysis(handle), 0);
    EXPECT_EQ(veltest::readTextFile(folder() / "wave.csv"), "sampling_points, adc\n" + veltest::dataLines("12.5,-3.5\n13,2\n"));
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_ad_analysis\"}\n");
    EXPECT_EQ(service.requests().size(), 4u);
}

}  // namespace
