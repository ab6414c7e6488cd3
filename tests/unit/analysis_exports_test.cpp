// The exports every analysis shares, as far as the stop routine does not
// cover them: the processed-data aliases, clearing the service's data and the
// n-fold coincidence processing query.

#include "support/service_session.h"
#include "point_payload.h"

#include <string>
#include <vector>

namespace {

using veltest::pointPayload;
using AnalysisExports = veltest::ServiceSessionTest;

TEST_F(AnalysisExports, EveryProcessedDataAliasFetchesTheSameCommand) {
    for (auto fetch : {ci_fetch_tof_processdata, ci_fetch_tot_processdata, ci_fetch_es_processdata,
                       ci_fetch_conform_es_processdata, ci_fetch_period_processdata}) {
        service.replyBinary(pointPayload({{2.5, -2.5}}));
        int count = 0;
        int64_t* array = fetch(handle, &count);
        ASSERT_NE(array, nullptr);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(array[0], 3);
        EXPECT_EQ(array[1], -3);
        ci_free_int64_data(array);
        EXPECT_EQ(service.requests().back(), "{\"cmd\":\"fetch_processdata\"}\n");
    }
}

TEST_F(AnalysisExports, ClearAnalysisDataReturnsTheReportedValue) {
    service.replyJson({{"result", 0}, {"data", 4}});
    EXPECT_EQ(ci_clear_analysis_data(handle), 4);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"clear_analysis_data\"}\n");
    service.replyJson({{"result", 0}});
    EXPECT_EQ(ci_clear_analysis_data(handle), -1);
    EXPECT_EQ(ci_clear_analysis_data(handle + 1000), -1);
}

TEST_F(AnalysisExports, ProcessingQueryStoresTheReportedFlag) {
    bool processing = false;
    service.replyJson({{"result", 0}, {"data", {{"status", 0}, {"value", true}}}});
    EXPECT_EQ(ci_is_ncoins_analysis_processing(handle, &processing), 0);
    EXPECT_TRUE(processing);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"is_ncoins_analysis_processing\"}\n");

    service.replyJson({{"result", 2}, {"data", 1}});
    EXPECT_EQ(ci_is_ncoins_analysis_processing(handle, &processing), 2);
    EXPECT_FALSE(processing);
    EXPECT_EQ(ci_is_ncoins_analysis_processing(handle, nullptr), 0);
}

}  // namespace
