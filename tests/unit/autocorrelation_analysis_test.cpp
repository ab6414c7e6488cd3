// The autocorrelation start and g2 fetch against a scripted service: checks,
// the request with its double delays, the g2 file and the T2 flags.

#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

constexpr int kLongDuration = 3600;

class Autocorrelation : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "g2"; }
    std::string folderText() const { return folder().string(); }
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    int start(int duration, int ch, double minTau, double maxTau, uint8_t enableT2, const char* fileName) {
        return ci_autocorrelation_analysis(handle, duration, ch, minTau, maxTau, 50, enableT2, folderText().c_str(),
                                           fileName);
    }
};

TEST_F(Autocorrelation, StartSendsDelaysAsDoublesAndTheStopSavesTheCurve) {
    ASSERT_EQ(start(kLongDuration, 2, -5e-8, 5e-8, 1, "emitter.csv"), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"bin_num\":50,\"ch\":2,\"cmd\":\"autocorrelation_analysis\",\"duration\":3600,"
              "\"enable_t2_data\":1,\"file_name\":\"emitter.csv\",\"folder_path\":\"" +
                  veltest::pathInJson(folderText()) + "\",\"max_tau\":5e-08,\"min_tau\":-5e-08}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "emitter.csv"), "tdiff(s), auto_correlation(g2)\n");
    EXPECT_TRUE(state().t2Enabled);
    EXPECT_TRUE(state().t2ToFile);

    service.replyBinary(pointPayload({{0, 0.05}, {1e-9, 0.98}}));
    ASSERT_EQ(ci_stop_autocorrelation_analysis(handle), 0);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1],
              "{\"cmd\":\"fetch_autocorrelation_data\",\"stability_metric_type\":0,\"start_chan\":-1,"
              "\"stop_chan\":-1}\n");
    EXPECT_EQ(requests[2], "{\"cmd\":\"stop_autocorrelation_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "emitter.csv"), "tdiff(s), auto_correlation(g2)\n" + veltest::dataLines("0,0.05\n1e-09,0.98\n"));
}

TEST_F(Autocorrelation, ChecksChannelThenDelayRange) {
    EXPECT_EQ(start(0, -1, 1, 0, 0, nullptr), -1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(start(5, -1, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(start(5, 0, 1e-6, 1e-6, 0, nullptr), -1);
    EXPECT_EQ(start(5, 0, NAN, 1e-6, 0, nullptr), -1);  // a NaN bound cannot be sent as JSON
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Invalid channel specified", "Parameter<min_tau> must be less than <max_tau>",
                                        "Parameter<min_tau> must be less than <max_tau>"}));
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(Autocorrelation, RejectedStartReturnsTheStatusAndKeepsRecordsWithTheLibrary) {
    service.replyJson({{"result", 9}});
    EXPECT_EQ(start(kLongDuration, 1, 0, 1e-6, 1, "x.csv"), 9);
    EXPECT_TRUE(state().t2Enabled);
    EXPECT_FALSE(state().t2ToFile);
}

TEST_F(Autocorrelation, CurveFetchKeepsDoublesAndLogsItsOwnTexts) {
    service.replyBinary(pointPayload({{-2.5e-9, 1.25}, {NAN, 3}}));
    int count = -1;
    double* curve = ci_fetch_autocorrelation_data(handle, &count);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<double>(curve, curve + 4), (std::vector<double>{-2.5e-9, 1.25, 0, 0}));
    ci_free_int64_data(curve);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"fetch_autocorrelation_data\"}\n");

    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_fetch_autocorrelation_data(handle, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch auto-correlation process data failed"}));
}

}  // namespace
