// The raw point machinery of the period and A/D analyses: the raw cache
// thread filling the buffer, the raw writer draining it into the file, the
// memory-mode fetch handing points out once, and stopping them all without
// losing a point.

#include "analysis/analysis_control.h"
#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using veltest::pointPayload;
namespace ana = vel::analysis;

const ana::RawCacheMessages kMessages = {"fetch failed message", "time limit message", "Test cache thread"};
const std::string kRawFetch = "{\"cmd\":\"fetch_analysis_rawdata\"}\n";
// Long enough that only a stop or a fetch failure ends a thread in a test.
constexpr int kLongDuration = 3600;
constexpr int kLongTimeoutMs = 60000;

class RawDataThreads : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        ana::stopAnalysisThreads(context(), session().analysis);
        ServiceSessionTest::TearDown();
    }

    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    // Every point the memory-mode fetch hands out until it returns null.
    std::vector<int64_t> fetchAll(int timeoutMs = kLongTimeoutMs) {
        std::vector<int64_t> values;
        for (;;) {
            int count = -1;
            int64_t* array = ci_fetch_period_rawdata(handle, &count, timeoutMs);
            if (!array) {
                EXPECT_EQ(count, 0);
                return values;
            }
            values.insert(values.end(), array, array + 2 * count);
            ci_free_int64_data(array);
        }
    }
};

TEST_F(RawDataThreads, MemoryFetchHandsOverEveryPointOnceEvenAfterTheProducerEnded) {
    service.replyBinary(pointPayload({{1, 10}, {2, 20}}));
    service.replyBinary(pointPayload({}));
    service.replyBinary(pointPayload({{3, 30.5}}));
    // Then the default JSON reply: the fetch fails and the cache thread ends.
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, "");

    EXPECT_EQ(fetchAll(), (std::vector<int64_t>{1, 10, 2, 20, 3, 31}));
    EXPECT_EQ(service.requests(), std::vector<std::string>(4, kRawFetch));
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch raw data failed", "fetch failed message"}));
    EXPECT_TRUE(state().rawStopRequested);
}

TEST_F(RawDataThreads, PointsBufferedBeforeAStopAreStillHandedOver) {
    service.replyBinary(pointPayload({{5, 6}}));
    for (int i = 0; i < 1000; ++i) {
        service.replyBinary(pointPayload({}));
    }
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, "");
    service.waitForRequests(2);  // the first points are buffered by now
    EXPECT_EQ(ana::stopAnalysisThreads(context(), session().analysis), 0);

    EXPECT_EQ(fetchAll(), (std::vector<int64_t>{5, 6}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(RawDataThreads, MemoryFetchGivesNullWithoutBufferOrInFileMode) {
    int count = -1;
    EXPECT_EQ(ci_fetch_period_rawdata(handle, &count, 0), nullptr);  // no raw-data run yet
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ci_fetch_ad_rawdata(handle + 1000, &count, 0), nullptr);

    state().rawPoints = std::make_shared<vel::PointList>(vel::PointList{{1, 2}});
    state().rawWriterActive = true;
    EXPECT_EQ(ci_fetch_ad_rawdata(handle, &count, 0), nullptr);
    state().rawWriterActive = false;
    // Before any producer ran, an empty buffer times out; the points are
    // handed out, with a null count pointer too.
    int64_t* array = ci_fetch_ad_rawdata(handle, nullptr, 0);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array[0], 1);
    ci_free_int64_data(array);
    EXPECT_EQ(ci_fetch_ad_rawdata(handle, &count, 0), nullptr);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(RawDataThreads, WriterDrainsEveryFetchedPointIntoTheFile) {
    log.expectError("Fetch raw data failed");
    log.expectError("fetch failed message");
    const auto file = veltest::writeTextFile(dir.path() / "raw.csv", "index, period(ps)\n");
    service.replyBinary(pointPayload({{1, 1.5}, {2, 2.5}}));
    service.replyBinary(pointPayload({{3, 1e7}}));
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, file.string());

    int count = -1;
    EXPECT_EQ(ci_fetch_period_rawdata(handle, &count, 0), nullptr);  // raw data goes to the file
    service.waitForRequests(3);                                      // the third fetch fails and ends the cache thread
    EXPECT_EQ(ana::stopAnalysisThreads(context(), session().analysis), 0);

    EXPECT_EQ(veltest::readTextFile(file), "index, period(ps)\n" + veltest::dataLines("1,1.5\n2,2.5\n3,1e+07\n"));
    EXPECT_FALSE(state().rawWriterActive);
    EXPECT_EQ(state().rawPoints, nullptr);  // released by the writer
}

TEST_F(RawDataThreads, WriterKeepsThePointsOfAFetchInFlightWhenStopped) {
    const auto file = veltest::writeTextFile(dir.path() / "raw.csv", "h\n");
    service.replyBinary(pointPayload({{7, 8}}));
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, file.string());
    // The stop comes while the first fetch may still be on its way.
    service.waitForRequests(1);
    EXPECT_EQ(ana::stopAnalysisThreads(context(), session().analysis), 0);
    EXPECT_EQ(veltest::readTextFile(file), "h\n" + veltest::dataLines("7,8\n"));
}

TEST_F(RawDataThreads, WriterThatCannotOpenItsFileLogsAndEnds) {
    ana::startRawWriter(context(), session().analysis, dir.str());
    EXPECT_EQ(ana::stopAnalysisThreads(context(), session().analysis), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Failed to open raw data file for writing: " + dir.str()});
}

TEST_F(RawDataThreads, OneRawFetchDecodesOrFails) {
    const nlohmann::json request = {{"cmd", "fetch_x"}, {"start_chan", 3}};
    vel::PointList points;
    service.replyBinary(pointPayload({{1, 2}}));
    EXPECT_EQ(ana::fetchRawAnalysisData(context(), request, points), 0);
    EXPECT_EQ(points, (vel::PointList{{1, 2}}));
    EXPECT_EQ(service.requests().front(), "{\"cmd\":\"fetch_x\",\"start_chan\":3}\n");

    service.replyBinary(pointPayload({{1, 2}}, 2));
    EXPECT_EQ(ana::fetchRawAnalysisData(context(), request, points), -1);
    EXPECT_TRUE(log.errors().empty());

    service.replyJson({{"result", -1}});
    EXPECT_EQ(ana::fetchRawAnalysisData(context(), request, points), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Fetch raw data failed"});

    log.clear();
    service.stop();
    EXPECT_EQ(ana::fetchRawAnalysisData(context(), request, points), -1);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("Fetch RAW analysis data exception: ", 0), 0u);
}

TEST_F(RawDataThreads, ANewStartReplacesTheEndedThreads) {
    log.expectError("Fetch raw data failed");
    log.expectError("fetch failed message");
    service.replyBinary(pointPayload({{1, 1}}));
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, "");
    EXPECT_EQ(fetchAll(), (std::vector<int64_t>{1, 1}));
    EXPECT_EQ(ana::stopAnalysisThreads(context(), session().analysis), 0);

    service.replyBinary(pointPayload({{2, 2}}));
    ana::startRawDataThreads(context(), session().analysis, kLongDuration, 1, kMessages, "");
    EXPECT_EQ(fetchAll(), (std::vector<int64_t>{2, 2}));
}

}  // namespace
