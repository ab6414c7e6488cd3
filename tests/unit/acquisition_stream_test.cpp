// The raw data stream against a scripted service: what the starts and stops
// send, how the acquisition thread polls, when it gives up, and what
// ci_fetch_rawdata hands over.

#include "acq/acquisition_stream.h"
#include "api/session_registry.h"
#include "support/service_session.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

namespace {

using nlohmann::json;

const std::string kFetchRequest = "{\"cmd\":\"fetch_rawdata\"}\n";

class RawStreamTest : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        if (vel::SessionPtr kept = vel::SessionRegistry::lookup(handle)) {
            vel::stopAcquisitionThreads(kept->context, kept->acquisition);
        }
        ServiceSessionTest::TearDown();
    }

    vel::AcquisitionState& state() { return vel::SessionRegistry::lookup(handle)->acquisition; }

    int startInMemory() { return ci_acq_rawdata(handle, 1, 10, "", "", 0, 0); }

    void scriptEmptyPolls(int count) {
        for (int i = 0; i < count; ++i) {
            service.replyBinary("");
        }
    }

    // Every byte the acquisition delivers until it has ended and nothing is left.
    std::string fetchUntilEnd() {
        std::string all;
        for (;;) {
            int size = -1;
            char* block = ci_fetch_rawdata(handle, &size, INT_MAX);
            if (block == nullptr) {
                EXPECT_EQ(size, 0);
                return all;
            }
            EXPECT_GT(size, 0);
            all.append(block, static_cast<size_t>(size));
            ci_free_char_data(block);
        }
    }

    void waitUntilThreadEnded() {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(state().rawBufferMutex);
                if (!state().acquisitionThreadRunning) {
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    size_t fetchRequestCount() const {
        size_t n = 0;
        for (const auto& r : service.requests()) {
            n += r == kFetchRequest ? 1 : 0;
        }
        return n;
    }

    bool loggedLine(spdlog::level::level_enum level, const std::string& text) const {
        for (const auto& line : log.lines()) {
            if (line.level == level && line.text == text) {
                return true;
            }
        }
        return false;
    }
};

// Bytes that differ from offset to offset and from seed to seed.
std::string patternBytes(size_t n, unsigned seed) {
    std::string bytes(n, '\0');
    std::generate(bytes.begin(), bytes.end(), [x = seed * 2654435761u + 1]() mutable {
        return static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    });
    return bytes;
}

using RawAcquisitionStart = RawStreamTest;

TEST_F(RawAcquisitionStart, SendsAllSixKeysWithForceCloseTrueOnlyForOne) {
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", 0}});
    EXPECT_EQ(ci_acq_rawdata(handle, 1, 5, "/data", "run.bin", 2, 1), 0);
    EXPECT_EQ(ci_acq_rawdata(handle, 3, 7, "d", "r", -1, 2), 0);
    const auto sent = service.requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0],
              "{\"cmd\":\"acq_rawdata\",\"data_mode\":1,\"duration\":5,\"file_name\":\"run.bin\","
              "\"folder_path\":\"/data\",\"force_close\":true,\"max_volume_size\":2}\n");
    EXPECT_EQ(sent[1],
              "{\"cmd\":\"acq_rawdata\",\"data_mode\":3,\"duration\":7,\"file_name\":\"r\","
              "\"folder_path\":\"d\",\"force_close\":false,\"max_volume_size\":-1}\n");
}

TEST_F(RawAcquisitionStart, ServiceStorageAndServiceCodesStartNoThread) {
    service.replyJson({{"result", 0}});
    EXPECT_EQ(ci_acq_rawdata(handle, 1, 5, "", "run.bin", 0, 0), 0);
    EXPECT_FALSE(state().acquisitionThread.running());
    int size = 99;
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, INT_MAX), nullptr);
    EXPECT_EQ(size, 0);

    service.replyJson({{"result", 5}});
    EXPECT_EQ(ci_acq_rawdata(handle, 1, 5, nullptr, nullptr, 0, 0), 5);
    EXPECT_FALSE(state().acquisitionThread.running());
    EXPECT_EQ(json::parse(service.requests().back()),
              json::parse(R"({"cmd":"acq_rawdata","data_mode":1,"duration":5,"file_name":"",)"
                          R"("folder_path":"","force_close":false,"max_volume_size":0})"));
}

TEST_F(RawAcquisitionStart, DurationBelowOneSendsNothingAndLeavesTheRunningAcquisition) {
    service.replyJson({{"result", 0}});
    service.replyBinary("abc");
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(ci_acq_rawdata(handle, 1, 0, "", "", 0, 0), -1);
    EXPECT_EQ(ci_acq_rawdata(handle, 1, -3, "", "", 0, 0), -1);
    EXPECT_EQ(fetchUntilEnd(), "abc");
    EXPECT_EQ(service.requests().size(), 52u);
}

TEST_F(RawAcquisitionStart, UnknownHandleFailsWithoutSending) {
    EXPECT_EQ(ci_acq_rawdata(handle + 100, 1, 5, "", "", 0, 0), -1);
    EXPECT_EQ(ci_stop_acq(handle + 100), -1);
    int size = 5;
    EXPECT_EQ(ci_fetch_rawdata(handle + 100, &size, 0), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(RawAcquisitionStart, RestartStopsTheOldThreadAndDeliversItsLeftoverBytesFirst) {
    service.replyJson({{"result", 0}});
    service.replyBinary("old");
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    waitUntilThreadEnded();

    // A start while the thread still waits for its first poll stops it at once.
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", 0}});
    service.replyBinary("new");
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "oldnew");
    const auto sent = service.requests();
    ASSERT_EQ(sent.size(), 1u + 51u + 2u + 51u);
    EXPECT_EQ(json::parse(sent[52])["cmd"], "acq_rawdata");
    EXPECT_EQ(json::parse(sent[53])["cmd"], "acq_rawdata");
}

// Two starts on one session may both get past their reset before either
// starts its thread. The later one must end the earlier thread, not wait for
// it: that thread keeps polling as long as data flows.
TEST_F(RawAcquisitionStart, StartRacingPastTheResetEndsTheRunningThreadInsteadOfWaitingForIt) {
    constexpr int kPayloads = 20000;
    service.replyJson({{"result", 0}});
    for (int i = 0; i < kPayloads; ++i) {
        service.replyBinary("x");
    }
    ASSERT_EQ(startInMemory(), 0);
    service.waitForRequests(2);
    ASSERT_EQ(vel::startAcquisitionThread(context(), state()), 0);
    EXPECT_LT(fetchRequestCount(), static_cast<size_t>(kPayloads));
    EXPECT_EQ(vel::stopAcquisitionThreads(context(), state()), 0);
}

using RawDataStream = RawStreamTest;

TEST_F(RawDataStream, DeliversEveryByteInOrderAcrossFetches) {
    const std::string parts[] = {patternBytes(3 * 1048576 + 5, 1), patternBytes(1, 2), "",
                                 patternBytes(2 * 1048576 + 7, 3), patternBytes(4096, 4)};
    service.replyJson({{"result", 0}});
    for (const auto& p : parts) {
        service.replyBinary(p);
    }
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), parts[0] + parts[1] + parts[3] + parts[4]);
    EXPECT_EQ(fetchRequestCount(), 5u + 50u);
    EXPECT_TRUE(loggedLine(spdlog::level::info, "No data received for a while, stopping acq raw data thread"));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(RawDataStream, BytesWaitingForTheCallerAreFollowedByLaterPayloadsInOrder) {
    // Nothing is fetched while the thread runs, so every payload after the
    // first lands behind bytes that are still waiting; the sizes shrink and
    // grow again, so a reused receive buffer is refilled with fewer bytes than
    // it held before.
    const std::string parts[] = {patternBytes(1048576 + 3, 5), patternBytes(70000, 6), patternBytes(2, 7),
                                 patternBytes(1048576 + 11, 8)};
    service.replyJson({{"result", 0}});
    for (const auto& p : parts) {
        service.replyBinary(p);
    }
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    waitUntilThreadEnded();
    EXPECT_EQ(fetchUntilEnd(), parts[0] + parts[1] + parts[2] + parts[3]);

    // The next acquisition starts on the emptied buffer: its payloads are the
    // only bytes handed over.
    const std::string again[] = {patternBytes(3000, 9), patternBytes(500000, 10)};
    service.replyJson({{"result", 0}});
    for (const auto& p : again) {
        service.replyBinary(p);
    }
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), again[0] + again[1]);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(RawDataStream, ThreeFailedPollsInARowEndTheThread) {
    service.replyJson({{"result", 0}});
    for (int i = 0; i < 3; ++i) {
        service.replyJson({{"result", -2}, {"msg", "busy"}});
    }
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "");
    EXPECT_EQ(fetchRequestCount(), 3u);
    const std::vector<std::string> expected = {"Fetch raw data failed:{\"msg\":\"busy\",\"result\":-2}",
                                               "Fetch raw data failed:{\"msg\":\"busy\",\"result\":-2}",
                                               "Fetch raw data failed:{\"msg\":\"busy\",\"result\":-2}",
                                               "Fetch raw data failed, stopping acq raw data thread"};
    EXPECT_EQ(log.errors(), expected);
}

TEST_F(RawDataStream, AnyAnsweredPollResetsTheFailureCount) {
    log.expectErrorContaining("Fetch raw data failed");
    const json failure = {{"result", -1}};
    service.replyJson({{"result", 0}});
    service.replyJson(failure);
    service.replyJson(failure);
    service.replyBinary("");  // an empty poll is an answer, not a failure
    service.replyJson(failure);
    service.replyJson(failure);
    service.replyBinary("xy");
    service.replyJson(failure);
    service.replyJson(failure);
    service.replyJson(failure);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "xy");
    EXPECT_EQ(fetchRequestCount(), 9u);
}

TEST_F(RawDataStream, DataRestartsTheEmptyPollCount) {
    service.replyJson({{"result", 0}});
    scriptEmptyPolls(49);
    service.replyBinary("d1");
    scriptEmptyPolls(49);
    service.replyBinary("d2");
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "d1d2");
    EXPECT_EQ(fetchRequestCount(), 150u);
}

TEST_F(RawDataStream, BrokenConnectionCountsAsFailedPolls) {
    service.replyJson({{"result", 0}});
    service.replyThenClose(veltest::FakeService::lengthHeader(10) + "abc");
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "");
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "Fetch RAW data exception: Failed to read full binary data");
    EXPECT_EQ(errors[1].rfind("Fetch RAW data exception: ", 0), 0u);
    EXPECT_EQ(errors[3], "Fetch raw data failed, stopping acq raw data thread");
}

TEST_F(RawDataStream, SessionOutlivesDestroyUntilTheThreadEnds) {
    service.replyJson({{"result", 0}});
    ASSERT_EQ(startInMemory(), 0);
    std::weak_ptr<InstInstance> session = vel::SessionRegistry::lookup(handle);
    ci_destroy(handle);
    // The thread's fetches now fail on the closed connection; after the third
    // it ends and drops the last reference on its own thread.
    while (!session.expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(service.requests().size(), 1u);
}

using RawDataFetch = RawStreamTest;

TEST_F(RawDataFetch, ReturnsNullAtOnceWithoutAnyAcquisition) {
    int size = 7;
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, INT_MAX), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(ci_fetch_rawdata(handle, nullptr, 0), nullptr);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(RawDataFetch, ZeroOrNegativeTimeoutTakesWhatIsThereOrNothing) {
    state().rawBuffer = std::make_shared<vel::RawBytes>(vel::RawBytes{1, 2, 3});
    int size = 0;
    char* block = ci_fetch_rawdata(handle, &size, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 3), std::string("\1\2\3", 3));
    EXPECT_EQ(size, 3);
    ci_free_char_data(block);
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, 0), nullptr);
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, -5), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(RawDataFetch, WaitsForBytesUntilTheTimeout) {
    auto& acquisition = state();
    acquisition.rawBuffer = std::make_shared<vel::RawBytes>();
    EXPECT_EQ(ci_fetch_rawdata(handle, nullptr, 20), nullptr);

    std::thread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.rawBuffer->push_back('z');
    });
    int size = 0;
    char* block = ci_fetch_rawdata(handle, &size, INT_MAX);
    producer.join();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(block[0], 'z');
    ci_free_char_data(block);
}

TEST_F(RawDataFetch, EndedAcquisitionWithNothingLeftReturnsAtOnce) {
    state().rawBuffer = std::make_shared<vel::RawBytes>();
    state().stopRequested = true;
    EXPECT_EQ(ci_fetch_rawdata(handle, nullptr, INT_MAX), nullptr);
}

TEST(RawBacklog, HandsOverAtMostTheLimitPerBlockInOrder) {
    static_assert(vel::kMaxRawBlockBytes == 2147483647u);
    vel::RawBytes buffer = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
    std::string taken;
    std::vector<int> sizes;
    int size = 0;
    while (char* block = vel::takeRawBacklog(buffer, 4, size)) {
        taken.append(block, static_cast<size_t>(size));
        sizes.push_back(size);
        std::free(block);
    }
    EXPECT_EQ(taken, "abcdefghij");
    EXPECT_EQ(sizes, (std::vector<int>{4, 4, 2}));
    EXPECT_GE(buffer.capacity(), 10u);  // storage stays for the next bytes
}

// Storage goes round instead of being allocated afresh for every chunk: a
// new allocation costs a page fault per page on first use, more than copying.
TEST(RawBufferHandOver, ChunksMoveOrCopyWithoutFreshStorage) {
    vel::AcquisitionState acquisition;
    acquisition.rawBuffer = std::make_shared<vel::RawBytes>();
    vel::RawBytes& buffer = *acquisition.rawBuffer;

    // An empty buffer with no larger storage takes the chunk's bytes without
    // a copy and gives the chunk its own storage back.
    vel::RawBytes chunk(4096, 'a');
    const uint8_t* chunkStorage = chunk.data();
    vel::appendToRawBuffer(acquisition, chunk);
    EXPECT_EQ(buffer.data(), chunkStorage);
    EXPECT_EQ(buffer.size(), 4096u);
    EXPECT_TRUE(chunk.empty());

    // A non-empty buffer gets the chunk appended; the chunk keeps its storage.
    chunk.assign(4096, 'b');
    const uint8_t* secondStorage = chunk.data();
    vel::appendToRawBuffer(acquisition, chunk);
    EXPECT_EQ(buffer.size(), 8192u);
    EXPECT_EQ(buffer[4095], 'a');
    EXPECT_EQ(buffer[4096], 'b');
    EXPECT_EQ(chunk.data(), secondStorage);

    // Emptied by a reader (the local writer swaps it with its cleared batch,
    // a fetch clears it), the buffer keeps its larger storage and the next
    // chunk is copied into it instead of replacing it.
    buffer.clear();
    const uint8_t* grownStorage = buffer.data();
    chunk.assign(4096, 'c');
    vel::appendToRawBuffer(acquisition, chunk);
    EXPECT_EQ(buffer.data(), grownStorage);
    EXPECT_EQ(buffer.size(), 4096u);
    EXPECT_EQ(buffer.front(), 'c');
    EXPECT_EQ(chunk.data(), secondStorage);

    // Without a buffer (released by a stop) the bytes are dropped.
    acquisition.rawBuffer.reset();
    vel::appendToRawBuffer(acquisition, chunk);
    EXPECT_EQ(chunk.size(), 4096u);
}

using RawAcquisitionStop = RawStreamTest;

TEST_F(RawAcquisitionStop, DropsUnfetchedBytesAndEndsTheThread) {
    log.expectErrorContaining("Fetch raw data failed");  // the poll after the script
    service.replyJson({{"result", 0}});
    service.replyBinary("abc");
    service.replyBinary("def");
    ASSERT_EQ(startInMemory(), 0);
    service.waitForRequests(4);  // both payloads are in the buffer
    EXPECT_EQ(ci_stop_acq(handle), 0);
    EXPECT_FALSE(state().acquisitionThread.running());
    EXPECT_EQ(state().rawBuffer, nullptr);
    int size = 3;
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, INT_MAX), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(service.requests()[1], kFetchRequest);
}

TEST_F(RawAcquisitionStop, ReturnsTheServiceCodeAfterTheThreadEndedByItself) {
    service.replyJson({{"result", 0}});
    scriptEmptyPolls(50);
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(fetchUntilEnd(), "");
    service.replyJson({{"result", 7}});
    EXPECT_EQ(ci_stop_acq(handle), 7);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_acq\"}\n");
}

TEST_F(RawAcquisitionStop, StopsAThreadWaitingForItsFirstPollAtOnce) {
    service.replyJson({{"result", 0}});
    ASSERT_EQ(startInMemory(), 0);
    EXPECT_EQ(ci_stop_acq(handle), 0);
    EXPECT_EQ(service.requests().size(), 2u);  // no fetch was sent
}

using RawAcquisitionQueries = RawStreamTest;

TEST_F(RawAcquisitionQueries, SendTheirCommandsAndReadTheirValues) {
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", 0}, {"data", true}});
    service.replyJson({{"result", 0}, {"data", {{"status", 0}, {"value", 2}}}});
    bool processing = false;
    EXPECT_EQ(ci_wait_data_ready(handle, 250), 0);
    EXPECT_EQ(ci_is_rawdata_processing(handle, &processing), 0);
    EXPECT_TRUE(processing);
    EXPECT_EQ(ci_get_acq_dataformat(handle), 2);
    EXPECT_EQ(ci_set_acq_dataformat(handle, 1), 0);
    const std::vector<std::string> expected = {
        "{\"cmd\":\"wait_data_ready\",\"timeout_ms\":250}\n", "{\"cmd\":\"is_rawdata_processing\"}\n",
        "{\"cmd\":\"get_acq_dataformat\"}\n", "{\"cmd\":\"set_acq_dataformat\",\"data_format\":1}\n"};
    EXPECT_EQ(service.requests(), expected);
}

}  // namespace
