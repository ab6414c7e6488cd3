// The raw acquisition on a hand-moved clock: what the stream holds, how it is
// handed out, and the files the service writes itself.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "light_signal.h"
#include "sim/model/instrument.h"
#include "support/temp_dir.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMillisecondPs = 1'000'000'000;
constexpr std::int64_t kSecondPs = 1000 * kMillisecondPs;

InstrumentConfig lightConfig() { return lightSignalConfig(); }

AcquisitionRequest inMemory(std::int64_t durationS = 1) {
    AcquisitionRequest r;
    r.durationS = durationS;
    return r;
}

std::uint64_t fnv(const std::vector<std::uint8_t>& bytes) {
    Fnv1a64 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.value();
}

struct TimeTag {
    std::int64_t timePs;
    std::uint32_t channel;
    std::uint32_t sequence;
};

std::vector<TimeTag> decodeTimeTags(const std::vector<std::uint8_t>& bytes) {
    std::vector<TimeTag> tags(bytes.size() / 16);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::memcpy(&tags[i].timePs, bytes.data() + 16 * i, 8);
        std::memcpy(&tags[i].channel, bytes.data() + 16 * i + 8, 4);
        std::memcpy(&tags[i].sequence, bytes.data() + 16 * i + 12, 4);
    }
    return tags;
}

class RawAcquisitionTest : public ::testing::Test {
protected:
    Instrument& make(const InstrumentConfig& config = lightConfig()) {
        instrument_ = std::make_unique<Instrument>(config, clock_);
        return *instrument_;
    }
    RawAcquisition& acquisition() { return instrument_->rawAcquisition(); }

    // What "fetch_rawdata" does: bring the signal up to now, then take.
    RawChunk fetch() {
        instrument_->advanceSignal();
        return acquisition().fetch();
    }
    static void append(std::vector<std::uint8_t>& to, const RawChunk& chunk) {
        if (chunk.shared) {
            to.insert(to.end(), chunk.shared->begin(), chunk.shared->end());
        } else {
            to.insert(to.end(), chunk.owned.begin(), chunk.owned.end());
        }
    }
    // Moves the clock in steps of stepMs, fetching after each, until the
    // acquisition has ended and everything is fetched.
    std::vector<std::uint8_t> fetchToTheEnd(std::int64_t stepMs) {
        std::vector<std::uint8_t> stream;
        for (int guard = 0; guard < 100000; ++guard) {
            clock_->advancePs(stepMs * kMillisecondPs);
            const RawChunk chunk = fetch();
            append(stream, chunk);
            if (chunk.size() == 0 && acquisition().stats().state == AcquisitionState::Ended) break;
        }
        return stream;
    }

    std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
    std::unique_ptr<Instrument> instrument_;
};

TEST_F(RawAcquisitionTest, StreamIsTheSameHoweverTimeIsSlicedAndWheneverItStarts) {
    make();
    ASSERT_EQ(instrument_->startRawAcquisition(inMemory()).error, ModelError::None);
    const std::vector<std::uint8_t> fine = fetchToTheEnd(7);

    clock_->advancePs(3 * kSecondPs);  // a later start: the time base restarts with it
    ASSERT_EQ(instrument_->startRawAcquisition(inMemory()).error, ModelError::None);
    const std::vector<std::uint8_t> coarse = fetchToTheEnd(333);

    ASSERT_GT(fine.size(), 16u * 30000);
    EXPECT_EQ(fine, coarse);
    const AcquisitionStats s = acquisition().stats();
    EXPECT_EQ(s.acquisition, 2u);
    EXPECT_EQ(s.bytesFetched, coarse.size());
    EXPECT_EQ(s.fetchedFnv1a64, fnv(coarse));
    EXPECT_EQ(s.producedFnv1a64, fnv(coarse));
    EXPECT_EQ(s.bytesPending, 0u);
    EXPECT_EQ(s.bytesDropped, 0u);
}

TEST_F(RawAcquisitionTest, RecordsHoldTimeOrderedTagsFromZeroBelowTheDurationNumberedInOrder) {
    make();
    instrument_->startRawAcquisition(inMemory());
    const std::vector<TimeTag> tags = decodeTimeTags(fetchToTheEnd(50));
    ASSERT_FALSE(tags.empty());
    EXPECT_EQ(acquisition().stats().events, tags.size());
    EXPECT_LT(tags.front().timePs, 10 * kMillisecondPs);
    EXPECT_GT(tags.back().timePs, 990 * kMillisecondPs);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        ASSERT_EQ(tags[i].sequence, i);
        ASSERT_GE(tags[i].timePs, 0);
        ASSERT_LT(tags[i].timePs, kSecondPs);
        ASSERT_GE(tags[i].channel, 1u);
        ASSERT_LE(tags[i].channel, 4u);
        if (i > 0) {
            ASSERT_GE(tags[i].timePs, tags[i - 1].timePs);
        }
    }
}

TEST_F(RawAcquisitionTest, EachFetchHandsOutOnlyWhatCameSinceTheLastOne) {
    make();
    EXPECT_EQ(fetch().size(), 0u);  // no acquisition yet
    instrument_->startRawAcquisition(inMemory());
    clock_->advancePs(100 * kMillisecondPs);
    const RawChunk first = fetch();
    EXPECT_GT(first.size(), 0u);
    EXPECT_EQ(fetch().size(), 0u);  // no time passed
    clock_->advancePs(kMillisecondPs);
    const RawChunk second = fetch();
    EXPECT_GT(second.size(), 0u);
    EXPECT_LT(second.size(), first.size());
    EXPECT_EQ(acquisition().stats().bytesFetched, first.size() + second.size());
}

TEST_F(RawAcquisitionTest, LargeBacklogsAreHandedOutInRepliesCutBetweenRecords) {
    InstrumentConfig config = lightConfig();
    config.acquisition.maxReplyBytes = 65536;
    make(config);
    for (const int format : {1, 2}) {
        ASSERT_EQ(acquisition().setDataFormat(format), ModelError::None);
        instrument_->startRawAcquisition(inMemory());
        clock_->advancePs(300 * kMillisecondPs);
        instrument_->advanceSignal();
        const std::uint64_t backlog = acquisition().stats().bytesPending;
        ASSERT_GT(backlog, 3u * 65536);
        std::uint64_t handed = 0;
        for (RawChunk chunk = acquisition().fetch(); chunk.size() > 0; chunk = acquisition().fetch()) {
            EXPECT_LE(chunk.size(), 65536u);
            if (format == 1) {
                EXPECT_EQ(chunk.size() % 24, 0u);
            } else {
                EXPECT_EQ(chunk.owned.back(), '\n');
            }
            handed += chunk.size();
        }
        EXPECT_EQ(handed, backlog);
        instrument_->stopRawAcquisition();
    }
}

TEST_F(RawAcquisitionTest, UnfetchedBytesBeyondTheLimitAreDroppedWholeAndCounted) {
    InstrumentConfig config = lightConfig();
    config.signal.backgroundRateHz.assign(4, 25000.0);
    config.acquisition.bufferLimitBytes = 1 << 20;
    make(config);
    instrument_->startRawAcquisition(inMemory());
    clock_->advancePs(kSecondPs + kMillisecondPs);
    instrument_->advanceSignal();
    const AcquisitionStats s = acquisition().stats();
    EXPECT_EQ(s.state, AcquisitionState::Ended);
    EXPECT_LE(s.bytesPending, 1u << 20);
    EXPECT_GT(s.bytesDropped, 0u);
    EXPECT_EQ(s.bytesDropped % 16, 0u);
    EXPECT_EQ(s.bytesPending + s.bytesDropped, s.bytesProduced);
}

TEST_F(RawAcquisitionTest, StopDropsWhatWasNotFetchedAndEndsTheStream) {
    make();
    instrument_->startRawAcquisition(inMemory(5));
    clock_->advancePs(100 * kMillisecondPs);
    instrument_->stopRawAcquisition();
    clock_->advancePs(100 * kMillisecondPs);
    EXPECT_EQ(fetch().size(), 0u);
    const AcquisitionStats s = acquisition().stats();
    EXPECT_EQ(s.state, AcquisitionState::Stopped);
    EXPECT_GT(s.bytesDropped, 0u);
    EXPECT_EQ(s.bytesDropped, s.bytesProduced);
    EXPECT_FALSE(acquisition().processing());
}

TEST_F(RawAcquisitionTest, DataFormatIsRefusedWhileRunningAndAppliesFromTheNextStart) {
    make();
    EXPECT_EQ(acquisition().setDataFormat(3), ModelError::ValueOutOfRange);
    EXPECT_EQ(acquisition().setDataFormat(-1), ModelError::ValueOutOfRange);
    instrument_->startRawAcquisition(inMemory());
    EXPECT_EQ(acquisition().setDataFormat(2), ModelError::WrongState);
    EXPECT_EQ(acquisition().dataFormat(), 0);
    instrument_->stopRawAcquisition();
    EXPECT_EQ(acquisition().setDataFormat(2), ModelError::None);
    instrument_->startRawAcquisition(inMemory());
    clock_->advancePs(10 * kMillisecondPs);
    const RawChunk chunk = fetch();
    ASSERT_GT(chunk.size(), 0u);
    EXPECT_EQ(acquisition().stats().dataFormat, 2);
    const std::string text(chunk.owned.begin(), chunk.owned.end());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find_first_not_of("0123456789,.\n"), std::string::npos);
}

TEST_F(RawAcquisitionTest, ProcessingAndReadinessFollowTheAcquisition) {
    make();
    EXPECT_FALSE(acquisition().processing());
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::NothingToWaitFor);
    instrument_->startRawAcquisition(inMemory());
    EXPECT_TRUE(acquisition().processing());
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::TimedOut);
    clock_->advancePs(10 * kMillisecondPs);
    instrument_->advanceSignal();
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::Ready);
    fetchToTheEnd(100);
    EXPECT_FALSE(acquisition().processing());
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::NothingToWaitFor);
}

TEST_F(RawAcquisitionTest, ARefusedStartEndsTheEarlierAcquisitionAndStartsNothing) {
    make();
    instrument_->startRawAcquisition(inMemory());
    AcquisitionRequest bad = inMemory(0);
    EXPECT_EQ(instrument_->startRawAcquisition(bad).error, ModelError::ValueOutOfRange);
    bad = inMemory();
    bad.dataMode = 2;
    EXPECT_EQ(instrument_->startRawAcquisition(bad).error, ModelError::ValueOutOfRange);
    EXPECT_EQ(acquisition().stats().state, AcquisitionState::Stopped);
    EXPECT_EQ(acquisition().stats().acquisition, 1u);
}

class ServiceSideFilesTest : public RawAcquisitionTest {
protected:
    AcquisitionRequest toFiles(const std::string& name, std::int64_t maxMib, bool forceClose) {
        AcquisitionRequest r = inMemory();
        r.folderPath = "runs";
        r.fileName = name;
        r.maxVolumeMib = maxMib;
        r.forceClose = forceClose;
        return r;
    }
    InstrumentConfig inDataDir(InstrumentConfig config) {
        config.acquisition.dataDir = dir_.str();
        return config;
    }
    // Runs the acquisition to its end with the clock moving alone (the
    // instrument's keeper thread or the final check advance the signal).
    AcquisitionStats runToTheEnd() {
        for (int i = 0; i < 11; ++i) {
            clock_->advancePs(100 * kMillisecondPs);
            instrument_->advanceSignal();
        }
        return acquisition().stats();
    }
    std::vector<std::uint8_t> concatenated(const std::vector<std::string>& paths) {
        std::vector<std::uint8_t> all;
        for (const std::string& path : paths) {
            const std::string text = veltest::readTextFile(path);
            all.insert(all.end(), text.begin(), text.end());
        }
        return all;
    }
    veltest::TempDir dir_;
};

TEST_F(ServiceSideFilesTest, ForceCloseSplitsTheStreamIntoVolumesOfExactlyTheLimit) {
    make(inDataDir(InstrumentConfig{}));  // about 2.5 MB per second
    ASSERT_EQ(instrument_->startRawAcquisition(toFiles("run", 1, true)).error, ModelError::None);
    EXPECT_EQ(fetch().size(), 0u);  // the stream goes to the files
    const AcquisitionStats s = runToTheEnd();
    EXPECT_EQ(s.state, AcquisitionState::Ended);
    ASSERT_EQ(s.files.size(), (s.bytesProduced + (1 << 20) - 1) / (1 << 20));
    ASSERT_GE(s.files.size(), 3u);
    EXPECT_EQ(s.files[0], (dir_.path() / "runs" / "run.bin").string());
    EXPECT_EQ(s.files[2], (dir_.path() / "runs" / "run_2.bin").string());
    for (std::size_t i = 0; i + 1 < s.files.size(); ++i) EXPECT_EQ(fs::file_size(s.files[i]), 1u << 20);
    const std::vector<std::uint8_t> all = concatenated(s.files);
    EXPECT_EQ(all.size(), s.bytesWritten);
    EXPECT_EQ(s.bytesWritten, s.bytesProduced);
    EXPECT_EQ(fnv(all), s.writtenFnv1a64);
    EXPECT_EQ(s.writtenFnv1a64, s.producedFnv1a64);
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::Ready);
}

TEST_F(ServiceSideFilesTest, WithoutForceCloseEveryVolumeEndsAtAWholeRecord) {
    make(inDataDir(InstrumentConfig{}));
    ASSERT_EQ(acquisition().setDataFormat(1), ModelError::None);  // 24-byte records: 1 MiB is no multiple
    ASSERT_EQ(instrument_->startRawAcquisition(toFiles("pulses", 1, false)).error, ModelError::None);
    const AcquisitionStats s = runToTheEnd();
    ASSERT_GE(s.files.size(), 3u);
    EXPECT_EQ(s.files[1], (dir_.path() / "runs" / "pulses_1.dat").string());
    for (std::size_t i = 0; i + 1 < s.files.size(); ++i) {
        EXPECT_EQ(fs::file_size(s.files[i]), (1u << 20) - (1u << 20) % 24);
    }
    EXPECT_EQ(fnv(concatenated(s.files)), s.producedFnv1a64);
}

TEST_F(ServiceSideFilesTest, StopClosesTheFilesWithEverythingUpToTheStop) {
    make(inDataDir(lightConfig()));
    ASSERT_EQ(instrument_->startRawAcquisition(toFiles("early.csv", 0, false)).error, ModelError::None);
    clock_->advancePs(300 * kMillisecondPs);
    instrument_->stopRawAcquisition();
    const AcquisitionStats s = acquisition().stats();
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(s.files[0], (dir_.path() / "runs" / "early.csv").string());
    EXPECT_GT(s.bytesWritten, 0u);
    EXPECT_EQ(fs::file_size(s.files[0]), s.bytesWritten);
    EXPECT_EQ(s.bytesWritten, s.bytesProduced);
    EXPECT_EQ(s.bytesDropped, 0u);
}

TEST_F(ServiceSideFilesTest, AFolderThatCannotBeCreatedRefusesTheStart) {
    make(inDataDir(lightConfig()));
    veltest::writeTextFile(dir_.path() / "runs", "a file where the folder should be");
    const AcquisitionStart started = instrument_->startRawAcquisition(toFiles("run", 0, false));
    EXPECT_EQ(started.error, ModelError::FileError);
    EXPECT_NE(started.message.find("runs"), std::string::npos);
    EXPECT_FALSE(acquisition().processing());
}

class StreamModeTest : public RawAcquisitionTest {
protected:
    Instrument& makeStreaming(std::uint64_t chunk, std::uint64_t total) {
        InstrumentConfig config = lightConfig();
        config.stream.chunkBytes = chunk;
        config.stream.totalBytes = total;
        return make(config);
    }
    static AcquisitionRequest streaming() {
        AcquisitionRequest r = inMemory();
        r.dataMode = 1;
        return r;
    }
};

TEST_F(StreamModeTest, HandsOutWholeSharedChunksUntilTheTotalThenTheRest) {
    makeStreaming(1000, 2500);
    ASSERT_EQ(instrument_->startRawAcquisition(streaming()).error, ModelError::None);
    std::vector<std::uint8_t> stream;
    const RawChunk first = fetch();
    ASSERT_TRUE(first.shared);
    EXPECT_EQ(first.size(), 1000u);
    const RawChunk second = fetch();
    EXPECT_EQ(second.shared, first.shared);  // the same pattern, not a copy
    const RawChunk last = fetch();
    EXPECT_EQ(last.size(), 500u);
    EXPECT_EQ(fetch().size(), 0u);
    for (const RawChunk* c : {&first, &second, &last}) append(stream, *c);

    const SharedBytes pattern = makeStreamPattern(lightConfig().signal.seed, 1000);
    for (std::size_t i = 0; i < stream.size(); ++i) ASSERT_EQ(stream[i], (*pattern)[i % 1000]) << i;
    const AcquisitionStats s = acquisition().stats();
    EXPECT_EQ(s.state, AcquisitionState::Ended);
    EXPECT_EQ(s.dataMode, 1);
    EXPECT_EQ(s.bytesFetched, 2500u);
    EXPECT_EQ(s.fetchedFnv1a64, fnv(stream));
    EXPECT_FALSE(acquisition().processing());
}

TEST_F(StreamModeTest, EndsWhenItsDurationHasPassed) {
    makeStreaming(64, 0);
    instrument_->startRawAcquisition(streaming());
    EXPECT_TRUE(acquisition().processing());
    EXPECT_EQ(acquisition().waitReady(std::chrono::milliseconds(0)), WaitOutcome::Ready);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(fetch().size(), 64u);
    clock_->advancePs(kSecondPs);
    EXPECT_EQ(fetch().size(), 0u);
    EXPECT_FALSE(acquisition().processing());
    EXPECT_EQ(acquisition().stats().bytesFetched, 640u);
}

TEST_F(StreamModeTest, RefusesServiceSideFiles) {
    makeStreaming(64, 0);
    AcquisitionRequest r = streaming();
    r.fileName = "bench.bin";
    EXPECT_EQ(instrument_->startRawAcquisition(r).error, ModelError::ValueOutOfRange);
}

}  // namespace
}  // namespace veltrano::sim
