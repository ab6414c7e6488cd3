// Replay of recorded time tags ("--replay"): reading the raw files the library
// writes, refusing unusable ones, and playing the events back as the signal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "light_signal.h"
#include "sim/model/instrument.h"
#include "sim/model/acquisition/raw_record_format.h"
#include "sim/model/acquisition/replay_recording.h"
#include "support/temp_dir.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kSecondPs = 1'000'000'000'000;

std::string records(RawDataFormat format, const std::vector<Event>& events) {
    std::string bytes;
    std::uint32_t sequence = 0;
    for (const Event& e : events) {
        unsigned char out[kMaxRawRecordBytes];
        const std::size_t n = encodeRawRecord(format, e, e.timePs, sequence++, out);
        bytes.append(reinterpret_cast<const char*>(out), n);
    }
    return bytes;
}

fs::path writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

const std::vector<Event> kRecorded{{100, 1, 8000, 662.0f}, {1600, 2, 7000, 400.5f}, {1'200'000'000'000, 3, 0, 0}};

class ReplayFiles : public ::testing::Test {
protected:
    veltest::TempDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

TEST_F(ReplayFiles, ReadsBothFormatsAndTheVolumesThatFollowTheFirst) {
    const std::string pulses = records(RawDataFormat::TimeTagsWithPulses, kRecorded);
    // A volume set cut inside a record, as the library's volume writer does.
    writeFile(dir_ / "run.dat", pulses.substr(0, 30));
    writeFile(dir_ / "run_1.dat", pulses.substr(30, 20));
    writeFile(dir_ / "run_2.dat", pulses.substr(50));
    const auto set = loadReplayRecording(dir_ / "run.dat", 4, false);
    ASSERT_EQ(set->events.size(), 3u);
    EXPECT_EQ(set->events[1].timePs, 1600);
    EXPECT_EQ(set->events[1].channel, 2);
    EXPECT_EQ(set->events[1].widthPs, 7000);
    EXPECT_EQ(set->events[1].energyKev, 400.5f);
    EXPECT_EQ(set->lengthPs, 2 * kSecondPs) << "the last tag rounded up to a whole second";

    const auto tags = loadReplayRecording(writeFile(dir_ / "tags.bin", records(RawDataFormat::TimeTags, kRecorded)),
                                          4, true);
    ASSERT_EQ(tags->events.size(), 3u);
    EXPECT_EQ(tags->events[2].timePs, 1'200'000'000'000);
    EXPECT_TRUE(tags->loop);
}

// Each unusable file is refused with its name and what is wrong with it; the
// program then ends with exit code 2 before it listens.
TEST_F(ReplayFiles, RefusesUnusableFilesNamingTheFileAndTheProblem) {
    const std::string tags = records(RawDataFormat::TimeTags, kRecorded);
    const std::vector<Event> backwards{{500, 1, 0, 0}, {400, 2, 0, 0}};
    struct Case {
        std::string name;
        std::string bytes;  // not written for the missing file
        std::string problem;
    };
    const std::vector<Case> cases{
        {"missing.bin", "", "no such file"},
        {"empty.bin", std::string(), "empty"},
        {"partial.bin", tags.substr(0, 40), "not a whole number of 16-byte records"},
        {"backwards.bin", records(RawDataFormat::TimeTags, backwards), "time tags go backwards at record 1"},
        {"text.csv", "100,1,8000,662.000\n", "the text format"},
        {"channel.bin", records(RawDataFormat::TimeTags, {{5, 9, 0, 0}}), "channel 9, outside 1..4"},
    };
    for (const Case& c : cases) {
        const fs::path path = dir_ / c.name;
        if (c.name != "missing.bin") writeFile(path, c.bytes);
        try {
            loadReplayRecording(path, 4, false);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const std::invalid_argument& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(c.problem), std::string::npos) << message;
        }
    }

    const fs::path log = dir_ / "stderr.txt";
    const std::string command = std::string(VELTRANO_SIM_EXECUTABLE) + " --port 0 --replay " +
                                (dir_ / "partial.bin").string() + " >/dev/null 2>" + log.string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("partial.bin: 40 bytes are not a whole number"), std::string::npos) << text;
}

// The recording replaces every model source; a disabled channel stays silent,
// the inter delay still applies, and without a loop the signal (and the raw
// acquisition) ends with the recording.
TEST(Replay, PlaysTheRecordingAsTheSignalAndLoopsOrEndsWithIt) {
    auto recording = std::make_shared<ReplayRecording>();
    recording->events = kRecorded;
    recording->lengthPs = 2 * kSecondPs;
    recording->loop = true;
    InstrumentConfig config = lightSignalConfig();
    config.signal.replay = recording;
    auto clock = std::make_shared<ManualSimClock>();
    Instrument instrument(config, clock);

    struct Collect : EventSink {
        std::vector<Event> events;
        void onEvents(std::span<const Event> batch) override { events.insert(events.end(), batch.begin(), batch.end()); }
    } sink;
    instrument.addEventSink(&sink);
    ASSERT_EQ(instrument.setChannelEnabled(3, false), ModelError::None);
    ASSERT_EQ(instrument.setChannelSetting(2, ChannelSetting::InterDelay, 50), ModelError::None);
    clock->advancePs(5 * kSecondPs);
    instrument.advanceSignal();
    std::vector<std::int64_t> tags;
    for (const Event& e : sink.events) tags.push_back(e.timePs);
    EXPECT_EQ(tags, (std::vector<std::int64_t>{100, 1650, 2 * kSecondPs + 100, 2 * kSecondPs + 1650,
                                               4 * kSecondPs + 100, 4 * kSecondPs + 1650}));
    instrument.removeEventSink(&sink);

    recording->loop = false;
    Instrument once(config, clock);
    AcquisitionRequest request;
    request.durationS = 10;
    ASSERT_EQ(once.startRawAcquisition(request).error, ModelError::None);
    EXPECT_TRUE(once.rawAcquisition().processing());
    clock->advancePs(2 * kSecondPs + 1);
    once.advanceSignal();
    EXPECT_FALSE(once.rawAcquisition().processing()) << "the signal ended with the recording";
    EXPECT_EQ(once.rawAcquisition().stats().events, 3u);
}

}  // namespace
}  // namespace veltrano::sim
