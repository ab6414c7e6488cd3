// The analysis stop timer: it ends its own run after the wait, saves once even
// when a stop call races it, does nothing for a run that is over or
// superseded, and for n-fold coincidences waits while the service processes.

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/stop_timer.h"
#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using veltest::pointPayload;
namespace ana = vel::analysis;

const std::string kTofStop = "{\"cmd\":\"stop_tof_analysis\"}\n";
const std::string kNcoinsStop = "{\"cmd\":\"stop_ncoins_analysis\"}\n";
const std::string kProcessingQuery = "{\"cmd\":\"is_ncoins_analysis_processing\"}\n";
// Long enough never to end a test by itself.
constexpr auto kLongLimit = std::chrono::milliseconds(3600000);

class StopTimer : public veltest::ServiceSessionTest {
protected:
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    size_t count(const std::string& request) const {
        size_t n = 0;
        for (const auto& r : service.requests()) {
            n += r == request;
        }
        return n;
    }
};

TEST_F(StopTimer, StopsItsRunAfterTheWait) {
    ana::beginRun(session().analysis);
    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::TimeOfFlight);
    ASSERT_TRUE(timer.valid());
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(service.requests(), std::vector<std::string>{kTofStop});
    EXPECT_TRUE(state().analysisStopped);
}

TEST_F(StopTimer, RefusesBadDurations) {
    EXPECT_EQ(ana::startStopTimer(context(), session().analysis, 0, ana::Kind::TimeOfFlight), -1);
    EXPECT_EQ(ana::startStopTimer(context(), session().analysis, -5, ana::Kind::TimeOfFlight), -1);
}

// The timer is the session's own thread: destroying the session (or a newer
// start) ends a waiting timer at once, with nothing sent.
TEST_F(StopTimer, EndsWithoutSendingWhenTheSessionGoesOrANewerRunStarts) {
    ana::beginRun(session().analysis);
    auto first = ana::launchStopTimer(context(), session().analysis, kLongLimit, kLongLimit, ana::Kind::TimeOfFlight);
    auto second = ana::launchStopTimer(context(), session().analysis, kLongLimit, kLongLimit, ana::Kind::TimeOfFlight);
    EXPECT_EQ(first.wait_for(0s), std::future_status::ready);
    EXPECT_EQ(first.get(), 0);
    ci_destroy(handle);
    EXPECT_EQ(second.wait_for(0s), std::future_status::ready);
    EXPECT_EQ(second.get(), 0);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(StopTimer, SavesOnceWhenAStopCallRacesIt) {
    const auto file = veltest::writeTextFile(dir.path() / "c.csv", "h\n");
    state().processDataPath = file.string();
    ana::beginRun(session().analysis);
    service.replyBinary(pointPayload({{1, 2}}));

    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::TimeOfFlight);
    std::thread caller([&] { EXPECT_EQ(ci_stop_tof_analysis(handle), 0); });
    caller.join();
    EXPECT_EQ(timer.get(), 0);

    EXPECT_EQ(service.requests().size(), 2u);
    EXPECT_EQ(count(kTofStop), 1u);
    EXPECT_EQ(veltest::readTextFile(file), "h\n" + veltest::dataLines("1,2\n"));
}

TEST_F(StopTimer, DoesNothingForARunAlreadyStopped) {
    ana::beginRun(session().analysis);
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    state().rawStopRequested = false;

    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::TimeOfFlight);
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(count(kTofStop), 1u);
    EXPECT_FALSE(state().rawStopRequested);  // did not even stop the raw threads
}

TEST_F(StopTimer, DoesNothingForASupersededRun) {
    const auto file = veltest::writeTextFile(dir.path() / "c.csv", "h\n");
    ana::beginRun(session().analysis);
    std::shared_future<int> timer;
    {
        // The timer is launched for the first run, which a new start replaces
        // before the timer can act.
        std::lock_guard<std::mutex> lock(state().runMutex);
        timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::TimeOfFlight);
        state().runNumber += 1;
        state().analysisStopped = false;
    }
    state().processDataPath = file.string();
    state().rawStopRequested = false;

    EXPECT_EQ(timer.get(), 0);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_FALSE(state().analysisStopped);
    EXPECT_FALSE(state().rawStopRequested);
    EXPECT_EQ(veltest::readTextFile(file), "h\n");
}

TEST_F(StopTimer, CoincidenceTimerWaitsWhileTheServiceProcesses) {
    ana::beginRun(session().analysis);
    service.replyJson({{"result", 0}, {"data", true}});
    service.replyJson({{"result", 0}, {"data", {{"status", 0}, {"value", true}}}});
    service.replyJson({{"result", 0}, {"data", false}});

    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::NCoincidences);
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(service.requests(),
              (std::vector<std::string>{kProcessingQuery, kProcessingQuery, kProcessingQuery, kNcoinsStop}));
}

TEST_F(StopTimer, CoincidenceTimerStopsWhenTheQueryFails) {
    ana::beginRun(session().analysis);
    service.replyJson({{"result", 3}, {"data", true}});
    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::NCoincidences);
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{kProcessingQuery, kNcoinsStop}));
}

TEST_F(StopTimer, CoincidenceTimerGivesUpWaitingAfterItsLimit) {
    ana::beginRun(session().analysis);
    for (int i = 0; i < 3; ++i) {
        service.replyJson({{"result", 0}, {"data", true}});
    }
    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, 0ms, ana::Kind::NCoincidences);
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{kProcessingQuery, kNcoinsStop}));
}

TEST_F(StopTimer, CoincidenceTimerEndsQuietlyWhenTheRunIsStoppedWhileItPolls) {
    ana::beginRun(session().analysis);
    // The service keeps reporting "processing"; every other reply only needs a result.
    for (int i = 0; i < 1000; ++i) {
        service.replyJson({{"result", 0}, {"data", true}});
    }
    auto timer = ana::launchStopTimer(context(), session().analysis, 0ms, kLongLimit, ana::Kind::NCoincidences);
    service.waitForRequests(2);
    EXPECT_EQ(ci_stop_ncoins_analysis(handle), 0);
    EXPECT_EQ(timer.get(), 0);
    EXPECT_EQ(count(kNcoinsStop), 1u);
}

TEST_F(StopTimer, StartedByAnAnalysisStartItStopsAfterDurationPlusTwoSeconds) {
    const auto folder = dir.path() / "out";
    service.replyJson({{"result", 0}});
    service.replyBinary(pointPayload({{4, 5}}));
    ASSERT_EQ(ci_tof_analysis(handle, 1, 1, 2, 1000, 0, 1, folder.string().c_str(), "t.csv"), 0);
    service.waitForRequests(3);
    EXPECT_EQ(service.requests().at(1),
              "{\"cmd\":\"fetch_processdata\",\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n");
    EXPECT_EQ(service.requests().at(2), kTofStop);
    // The stop call waits for the timer's stop to finish and finds the run over.
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(service.requests().size(), 3u);
    EXPECT_EQ(veltest::readTextFile(folder / "t_counts.csv"), "tdiff(ps), counts\n" + veltest::dataLines("4,5\n"));
}

}  // namespace
