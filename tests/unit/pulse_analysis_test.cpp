// The time-over-threshold and energy-spectrum starts against a scripted
// service: argument checks in their order, the exact requests, the one CSV
// file and what the stop saves into it.

#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"
#include "timestamped_file.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

constexpr int kLongDuration = 3600;

class PulseAnalysis : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "pulses"; }
    std::string folderText() const { return folder().string(); }
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }
};

TEST_F(PulseAnalysis, TotStartSendsItsKeysAndTheStopSavesTheHistogram) {
    ASSERT_EQ(ci_tot_analysis(handle, kLongDuration, 0, 2, folderText().c_str(), "widths.csv"), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"ch\":0,\"cmd\":\"tot_analysis\",\"duration\":3600,\"enable_tot_data\":2,"
              "\"file_name\":\"widths.csv\",\"folder_path\":\"" +
                  veltest::pathInJson(folderText()) + "\"}\n");
    EXPECT_FALSE(state().totDataEnabled);  // only 1 keeps records
    EXPECT_EQ(veltest::readTextFile(folder() / "widths.csv"), "tot, counts\n");

    service.replyBinary(pointPayload({{1500, 3}, {2500.5, 9}}));
    ASSERT_EQ(ci_stop_tot_analysis(handle), 0);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1],
              "{\"cmd\":\"fetch_processdata\",\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n");
    EXPECT_EQ(requests[2], "{\"cmd\":\"stop_tot_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "widths.csv"), "tot, counts\n" + veltest::dataLines("1500,3\n2500.5,9\n"));
}

TEST_F(PulseAnalysis, TotChecksDurationThenChannel) {
    EXPECT_EQ(ci_tot_analysis(handle, 0, -1, 1, nullptr, nullptr), -1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(ci_tot_analysis(handle, 5, -1, 1, nullptr, nullptr), -1);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Invalid channel specified"}));
    EXPECT_EQ(ci_tot_analysis(handle + 100, 5, 1, 1, nullptr, nullptr), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(PulseAnalysis, EsStartSendsItsKeysUncheckedAreaScaleAndNullTextsAsEmpty) {
    ASSERT_EQ(ci_es_analysis(handle, kLongDuration, 15, 40, -3, -1, nullptr, nullptr), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"ad_integration_point\":40,\"area_scale\":-3,\"ch\":15,\"cmd\":\"es_analysis\","
              "\"duration\":3600,\"enable_es_data\":-1,\"file_name\":\"\",\"folder_path\":\"\"}\n");
    // Without a file name the stop saves nothing.
    ASSERT_EQ(ci_stop_es_analysis(handle), 0);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_es_analysis\"}\n");
    EXPECT_EQ(service.requests().size(), 2u);
    EXPECT_FALSE(fs::exists(dir.path() / "output"));
}

TEST_F(PulseAnalysis, EsChecksChannelBeforeIntegrationPoint) {
    const auto refused = [&](int channel, int integrationPoint) {
        log.clear();
        EXPECT_EQ(ci_es_analysis(handle, 5, channel, integrationPoint, 1, 0, nullptr, nullptr), -1);
        return log.errors();
    };
    const std::vector<std::string> channelError = {"Invalid A/D channel specified"};
    EXPECT_EQ(refused(0, 10), channelError);
    EXPECT_EQ(refused(2, 0), channelError);
    EXPECT_EQ(refused(-1, 10), channelError);
    EXPECT_EQ(refused(1, 0), (std::vector<std::string>{"Invalid A/D integration point value"}));
    EXPECT_EQ(refused(1, -4), (std::vector<std::string>{"Invalid A/D integration point value"}));
    EXPECT_TRUE(service.requests().empty());
    EXPECT_EQ(ci_es_analysis(handle, kLongDuration, 1, 1, 0, 0, nullptr, nullptr), 0);
}

TEST_F(PulseAnalysis, FileNameWithoutExtensionGetsATimestamp) {
    ASSERT_EQ(ci_es_analysis(handle, kLongDuration, 3, 8, 1, 1, folderText().c_str(), "spectrum"), 0);
    const auto names = veltest::fileNamesIn(folder());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(veltest::isTimestampedCsv(names[0], "spectrum")) << names[0];
    EXPECT_EQ(veltest::readTextFile(folder() / names[0]), "adc, counts\n");
    EXPECT_TRUE(state().esDataEnabled);
    EXPECT_TRUE(state().esDataToFile);
}

}  // namespace
