// The common stop routine of the analyses against a scripted service: what
// each kind saves, in which order, the stop command, stopping once, and the
// status when a save or the stop fails.

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace {

using veltest::pointPayload;
namespace ana = vel::analysis;

std::string fetchRequest(const char* command, int metricType) {
    return std::string("{\"cmd\":\"") + command + "\",\"stability_metric_type\":" + std::to_string(metricType) +
           ",\"start_chan\":-1,\"stop_chan\":-1}\n";
}

std::string stopRequest(const char* command) {
    return std::string("{\"cmd\":\"") + command + "\"}\n";
}

class AnalysisStop : public veltest::ServiceSessionTest {
protected:
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    // A file holding its header line, as a start prepares it.
    std::string preparedFile(const std::string& name) {
        return veltest::writeTextFile(dir.path() / name, "h\n").string();
    }
    std::string fileText(const std::string& path) { return veltest::readTextFile(path); }
};

TEST_F(AnalysisStop, TimeOfFlightSavesCountsThenCrossCorrelationThenStops) {
    const std::string counts = preparedFile("c.csv");
    const std::string g2 = preparedFile("g.csv");
    state().processDataPath = counts;
    state().crossCorrelationPath = g2;
    ana::beginRun(session().analysis);
    service.replyBinary(pointPayload({{-10, 3}, {0, 12.5}}));
    service.replyBinary(pointPayload({{5, 1.25}}));

    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{fetchRequest("fetch_processdata", 0),
                                                            fetchRequest("fetch_cross_correlation_data", 0),
                                                            stopRequest("stop_tof_analysis")}));
    EXPECT_EQ(fileText(counts), "h\n" + veltest::dataLines("-10,3\n0,12.5\n"));
    EXPECT_EQ(fileText(g2), "h\n" + veltest::dataLines("5,1.25\n"));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(AnalysisStop, SecondStopSendsNothingButStillStopsTheRawThreads) {
    ana::beginRun(session().analysis);
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    state().rawStopRequested = false;
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(service.requests(), std::vector<std::string>{stopRequest("stop_tof_analysis")});
    EXPECT_TRUE(state().rawStopRequested);
}

TEST_F(AnalysisStop, PeriodSavesProcessDataThenTheFourMetricsInOrder) {
    std::vector<std::string> files;
    for (const char* name : {"p.csv", "adev.csv", "mdev.csv", "tdev.csv", "hdev.csv"}) {
        files.push_back(preparedFile(name));
        service.replyBinary(pointPayload({{static_cast<double>(files.size()), 0.5}}));
    }
    state().processDataPath = files[0];
    state().adevPath = files[1];
    state().mdevPath = files[2];
    state().tdevPath = files[3];
    state().hdevPath = files[4];
    ana::beginRun(session().analysis);

    EXPECT_EQ(ci_stop_period_analysis(handle), 0);
    EXPECT_EQ(service.requests(),
              (std::vector<std::string>{
                  fetchRequest("fetch_processdata", 0), fetchRequest("fetch_period_stability_metric", 0),
                  fetchRequest("fetch_period_stability_metric", 1), fetchRequest("fetch_period_stability_metric", 2),
                  fetchRequest("fetch_period_stability_metric", 3), stopRequest("stop_period_analysis")}));
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(fileText(files[i]), "h\n" + veltest::dataLines(std::to_string(i + 1) + ",0.5\n"));
    }
}

TEST_F(AnalysisStop, EachKindSendsItsOwnStopCommandAndSavesOnlyWithPaths) {
    const struct {
        int (*stop)(uint64_t);
        const char* command;
    } kinds[] = {
        {ci_stop_tof_analysis, "stop_tof_analysis"},
        {ci_stop_ad_analysis, "stop_ad_analysis"},
        {ci_stop_tot_analysis, "stop_tot_analysis"},
        {ci_stop_es_analysis, "stop_es_analysis"},
        {ci_stop_conform_es_analysis, "stop_conform_es_analysis"},
        {ci_stop_period_analysis, "stop_period_analysis"},
        {ci_stop_startstop_analysis, "stop_startstop_analysis"},
        {ci_stop_ncoins_analysis, "stop_ncoins_analysis"},
        {ci_stop_autocorrelation_analysis, "stop_autocorrelation_analysis"},
    };
    for (const auto& kind : kinds) {
        ana::beginRun(session().analysis);
        const size_t before = service.requests().size();
        EXPECT_EQ(kind.stop(handle), 0) << kind.command;
        const auto requests = service.requests();
        ASSERT_EQ(requests.size(), before + 1) << kind.command;
        EXPECT_EQ(requests.back(), stopRequest(kind.command));
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(AnalysisStop, SingleSaveKindsFetchTheirOwnCommand) {
    const struct {
        int (*stop)(uint64_t);
        const char* fetch;
    } kinds[] = {
        {ci_stop_tot_analysis, "fetch_processdata"},
        {ci_stop_es_analysis, "fetch_processdata"},
        {ci_stop_autocorrelation_analysis, "fetch_autocorrelation_data"},
    };
    for (const auto& kind : kinds) {
        const std::string file = preparedFile("k.csv");
        state().processDataPath = file;
        ana::beginRun(session().analysis);
        service.replyBinary(pointPayload({{7, 8}}));
        const size_t before = service.requests().size();
        EXPECT_EQ(kind.stop(handle), 0);
        EXPECT_EQ(service.requests().at(before), fetchRequest(kind.fetch, 0));
        EXPECT_EQ(fileText(file), "h\n" + veltest::dataLines("7,8\n"));
    }
}

TEST_F(AnalysisStop, FailedLastSaveStillSendsTheStopAndReportsFailure) {
    state().processDataPath = preparedFile("c.csv");
    state().crossCorrelationPath = preparedFile("g.csv");
    ana::beginRun(session().analysis);
    service.replyBinary(pointPayload({{1, 1}}));
    service.replyJson({{"result", -1}});

    EXPECT_EQ(ci_stop_tof_analysis(handle), -1);
    EXPECT_EQ(service.requests().back(), stopRequest("stop_tof_analysis"));
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch process data failed",
                                                      "Save process data to file failed for analysis type:1"}));
    // The run counts as stopped: a second stop sends nothing.
    const size_t sent = service.requests().size();
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(service.requests().size(), sent);
}

TEST_F(AnalysisStop, OnlyTheLastSaveDecidesTheStatus) {
    state().processDataPath = preparedFile("c.csv");
    state().crossCorrelationPath = preparedFile("g.csv");
    ana::beginRun(session().analysis);
    service.replyJson({{"result", -1}});
    service.replyBinary(pointPayload({{2, 3}}));

    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Fetch process data failed"});
    EXPECT_EQ(fileText(state().crossCorrelationPath), "h\n" + veltest::dataLines("2,3\n"));
}

TEST_F(AnalysisStop, RejectedStopCommandGivesMinusOne) {
    ana::beginRun(session().analysis);
    service.replyJson({{"result", 5}});
    EXPECT_EQ(ci_stop_tot_analysis(handle), -1);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(AnalysisStop, MalformedOrUnwritableSavesFail) {
    const std::string file = preparedFile("c.csv");
    state().processDataPath = file;
    ana::beginRun(session().analysis);
    service.replyBinary(pointPayload({{1, 2}}, 2));  // announces more than it carries
    EXPECT_EQ(ci_stop_tot_analysis(handle), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Save process data to file failed for analysis type:3"});
    EXPECT_EQ(fileText(file), "h\n");

    log.clear();
    service.replyBinary(pointPayload({{1, 2}}));
    EXPECT_EQ(ana::saveProcessData(context(), dir.str(), "fetch_processdata", 0, -1, -1), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Failed to open process data file for writing: " + dir.str()});
}

TEST_F(AnalysisStop, SaveWithoutPathFetchesNothing) {
    EXPECT_EQ(ana::saveProcessData(context(), "", "fetch_processdata", 0, -1, -1), 0);
    EXPECT_EQ(ana::saveProcessData(context(), "x.csv", nullptr, 0, -1, -1), -1);
    EXPECT_EQ(ana::saveProcessData(context(), "x.csv", "", 0, -1, -1), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(AnalysisStop, SaveSendsTheGivenMetricAndChannels) {
    const std::string file = preparedFile("m.csv");
    service.replyBinary(pointPayload({}));
    EXPECT_EQ(ana::saveProcessData(context(), file, "fetch_x", 2, 4, 6), 0);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"fetch_x\",\"stability_metric_type\":2,\"start_chan\":4,\"stop_chan\":6}\n");
    EXPECT_EQ(fileText(file), "h\n");
}

TEST_F(AnalysisStop, ConformEnergySaverStopsAtTheFirstFailure) {
    state().processDataPath = preparedFile("p.csv");
    state().conformArea1Path = preparedFile("a1.csv");
    state().conformArea2Path = preparedFile("a2.csv");
    ana::beginRun(session().analysis);
    service.replyBinary(pointPayload({{1, 2}}));
    service.replyJson({{"result", -1}});

    EXPECT_EQ(ci_stop_conform_es_analysis(handle), -1);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{fetchRequest("fetch_processdata", 0),
                                                            fetchRequest("fetch_ces_area1_processdata", 0),
                                                            stopRequest("stop_conform_es_analysis")}));
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Fetch process data failed",
                                                      "Save area1 process data to file failed for conform es analysis",
                                                      "Save process data to file failed for analysis type:5"}));
}

TEST_F(AnalysisStop, ConformEnergySaverFillsAllThreeFiles) {
    const std::string files[] = {preparedFile("p.csv"), preparedFile("a1.csv"), preparedFile("a2.csv")};
    state().processDataPath = files[0];
    state().conformArea1Path = files[1];
    state().conformArea2Path = files[2];
    ana::beginRun(session().analysis);
    for (int i = 0; i < 3; ++i) {
        service.replyBinary(pointPayload({{static_cast<double>(i), 1}}));
    }
    EXPECT_EQ(ci_stop_conform_es_analysis(handle), 0);
    EXPECT_EQ(service.requests().at(2), fetchRequest("fetch_ces_area2_processdata", 0));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fileText(files[i]), "h\n" + veltest::dataLines(std::to_string(i) + ",1\n"));
    }
}

TEST_F(AnalysisStop, UnknownSessionGivesMinusOne) {
    EXPECT_EQ(ci_stop_tof_analysis(0), -1);
    EXPECT_EQ(ci_stop_tof_analysis(handle + 1000), -1);
    EXPECT_EQ(ana::stopAnalysis(context(), session().analysis, static_cast<ana::Kind>(0)), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(AnalysisStop, ClosedConnectionStillMarksTheRunStopped) {
    log.expectErrorContaining("Generic json call exception: ");
    ana::beginRun(session().analysis);
    service.stop();
    EXPECT_EQ(ci_stop_tof_analysis(handle), -1);
    EXPECT_TRUE(state().analysisStopped);
}

}  // namespace
