// Local acquisition to volume files against a scripted service: the request,
// file names and extensions, volume splitting, and that every received byte
// reaches the files whether the acquisition is stopped or ends by itself.

#include "acq/acquisition_stream.h"
#include "acq/local_acquisition.h"
#include "api/session_registry.h"
#include "support/service_session.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr size_t kMiB = 1048576;

class LocalAcquisition : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        if (vel::SessionPtr kept = vel::SessionRegistry::lookup(handle)) {
            vel::stopAcquisitionThreads(kept->context, kept->acquisition);
        }
        ServiceSessionTest::TearDown();
    }

    // Scripts the start: "acq_rawdata" answered 0, the data format query
    // answered with the given reply.
    void scriptStart(const json& formatReply) {
        service.replyJson({{"result", 0}});
        service.replyJson(formatReply);
    }
    // The stream as payloads, then the silence that ends the acquisition.
    void scriptStream(const std::vector<std::string>& payloads) {
        for (const auto& p : payloads) {
            service.replyBinary(p);
        }
        for (int i = 0; i < 50; ++i) {
            service.replyBinary("");
        }
    }

    // Returns once the local writer thread has closed the files.
    void waitUntilFilesClosed() {
        auto session = vel::SessionRegistry::lookup(handle);
        while (vel::hasLocalWriter(session->acquisition)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::vector<fs::path> filesIn(const fs::path& folder) const {
        std::vector<fs::path> files;
        if (fs::exists(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }
};

std::string streamBytes(size_t n, unsigned seed) {
    std::string bytes(n, '\0');
    std::generate(bytes.begin(), bytes.end(),
                  [x = seed + 77]() mutable { return static_cast<char>((x = x * 1664525u + 1013904223u) >> 23); });
    return bytes;
}

TEST_F(LocalAcquisition, SendsOnlyModeDurationAndForceCloseAndWithoutFileFeedsTheFetch) {
    service.replyJson({{"result", 0}});
    scriptStream({"abc"});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 2, 3, "out", "", 1, 1), 0);
    std::string fetched;
    int size = 0;
    while (char* block = ci_fetch_rawdata(handle, &size, INT_MAX)) {
        fetched.append(block, static_cast<size_t>(size));
        ci_free_char_data(block);
    }
    EXPECT_EQ(fetched, "abc");
    EXPECT_EQ(service.requests().front(),
              "{\"cmd\":\"acq_rawdata\",\"data_mode\":2,\"duration\":3,\"force_close\":true}\n");
    EXPECT_EQ(service.requests()[1], "{\"cmd\":\"fetch_rawdata\"}\n");  // no format query
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST_F(LocalAcquisition, RefusesShortDurationAndUnknownHandleWithoutSending) {
    EXPECT_EQ(ci_acq_rawdata_local(handle, 1, 0, "", "run", 0, 0), -1);
    EXPECT_EQ(ci_acq_rawdata_local(handle + 100, 1, 5, "", "run", 0, 0), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(LocalAcquisition, ChoosesTheExtensionFromTheDataFormat) {
    struct Case {
        json formatReply;
        const char* extension;
    } cases[] = {
        {{{"result", 0}, {"data", 1}}, ".dat"},
        {{{"result", 0}, {"data", {{"status", 0}, {"value", 2}}}}, ".csv"},
        {{{"result", 0}, {"data", 0}}, ".bin"},
        {{{"result", -1}}, ".bin"},
    };
    size_t run = 0;
    for (const auto& c : cases) {
        const std::string folder = "f" + std::to_string(run);
        scriptStart(c.formatReply);
        scriptStream({"payload"});
        ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, folder.c_str(), "run", 0, 0), 0);
        waitUntilFilesClosed();
        // Each run: the start, the format query, one payload and 50 empty polls.
        EXPECT_EQ(service.requests().at(run * 53 + 1), "{\"cmd\":\"get_acq_dataformat\"}\n");
        ++run;
        const auto files = filesIn(dir.path() / folder);
        ASSERT_EQ(files.size(), 1u) << c.extension;
        const std::regex expected(std::string("run_[0-9]{14}\\") + c.extension);
        EXPECT_TRUE(std::regex_match(files[0].filename().string(), expected)) << files[0];
        EXPECT_EQ(veltest::readTextFile(files[0]), "payload");
    }
}

TEST_F(LocalAcquisition, KeepsAGivenExtensionAndDefaultsToTheRawFolder) {
    scriptStart({{"result", 0}, {"data", 2}});
    scriptStream({"x"});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, nullptr, "run.dat", 0, 0), 0);
    waitUntilFilesClosed();
    EXPECT_EQ(filesIn(dir.path() / "raw"), std::vector<fs::path>{dir.path() / "raw" / "run.dat"});
}

TEST_F(LocalAcquisition, SplitsTheStreamIntoVolumesAndCutsTheLastWhenItEndsByItself) {
    // 3.5 MiB in pieces that straddle the volume boundaries.
    std::vector<std::string> pieces;
    std::string stream;
    const size_t k = 1024;
    for (size_t size : std::vector<size_t>{700 * k, 1, 1200 * k, 2 * kMiB - 1900 * k - 1 + kMiB / 2, kMiB}) {
        pieces.push_back(streamBytes(size, static_cast<unsigned>(pieces.size())));
        stream += pieces.back();
    }
    ASSERT_EQ(stream.size(), 3 * kMiB + kMiB / 2);
    const fs::path folder = dir.path() / "volumes";
    scriptStart({{"result", 0}, {"data", 0}});
    scriptStream(pieces);
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, folder.string().c_str(), "run.bin", 1, 0), 0);
    waitUntilFilesClosed();

    const std::vector<fs::path> expected = {folder / "run.bin", folder / "run_1.bin", folder / "run_2.bin",
                                            folder / "run_3.bin"};
    ASSERT_EQ(filesIn(folder), expected);
    std::string joined;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fs::file_size(expected[i]), i < 3 ? kMiB : kMiB / 2) << expected[i];
        joined += veltest::readTextFile(expected[i]);
    }
    EXPECT_TRUE(joined == stream);
}

TEST_F(LocalAcquisition, StopWritesEveryReceivedByteBeforeItReturns) {
    log.expectErrorContaining("Fetch raw data failed");  // the poll after the script
    std::vector<std::string> pieces;
    std::string stream;
    for (unsigned i = 0; i < 6; ++i) {
        pieces.push_back(streamBytes(kMiB + 13 * i, i));
        stream += pieces.back();
    }
    scriptStart({{"result", 0}, {"data", 1}});
    for (const auto& p : pieces) {
        service.replyBinary(p);
    }
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run", 0, 0), 0);
    service.waitForRequests(2 + pieces.size() + 1);  // every piece is in the buffer
    EXPECT_EQ(ci_stop_acq(handle), 0);

    const auto files = filesIn(dir.path() / "raw");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::file_size(files[0]), stream.size());
    EXPECT_TRUE(veltest::readTextFile(files[0]) == stream);
}

TEST_F(LocalAcquisition, FetchHandsOutNothingWhileWritingToFiles) {
    scriptStart({{"result", 0}, {"data", 0}});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run", 0, 0), 0);
    int size = 4;
    EXPECT_EQ(ci_fetch_rawdata(handle, &size, INT_MAX), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(LocalAcquisition, ServiceCodeOfTheStartStillStartsTheFiles) {
    service.replyJson({{"result", 4}});
    service.replyJson({{"result", 0}, {"data", 0}});
    scriptStream({"late"});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run.bin", 0, 0), 0);
    waitUntilFilesClosed();
    EXPECT_EQ(veltest::readTextFile(dir.path() / "raw" / "run.bin"), "late");
}

TEST_F(LocalAcquisition, WriterFailureLeavesTheStreamToTheFetch) {
    veltest::writeTextFile(dir.path() / "blocker", "a file, not a folder");
    scriptStart({{"result", 0}, {"data", 0}});
    scriptStream({"kept"});
    EXPECT_EQ(ci_acq_rawdata_local(handle, 1, 5, "blocker/sub", "run", 0, 0), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Writer creation failed: ", 0), 0u) << errors[0];
    int size = 0;
    char* block = ci_fetch_rawdata(handle, &size, INT_MAX);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, static_cast<size_t>(size)), "kept");
    ci_free_char_data(block);
}

TEST_F(LocalAcquisition, NextStartClosesTheRunningWriterAndReplacesItsFiles) {
    scriptStart({{"result", 0}, {"data", 0}});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run.bin", 0, 0), 0);
    const fs::path file = dir.path() / "raw" / "run.bin";
    EXPECT_GT(fs::file_size(file), 0u);  // mapped ahead of the data

    scriptStart({{"result", 0}, {"data", 0}});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "other.bin", 0, 0), 0);
    EXPECT_EQ(fs::file_size(file), 0u);  // cut to the bytes written before the new start

    scriptStart({{"result", 0}, {"data", 0}});
    scriptStream({"second run"});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run.bin", 0, 0), 0);
    waitUntilFilesClosed();
    EXPECT_EQ(veltest::readTextFile(file), "second run");
}

TEST_F(LocalAcquisition, FilesAreFinishedWhenTheSessionIsDestroyedMidRun) {
    scriptStart({{"result", 0}, {"data", 0}});
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 5, "", "run.bin", 0, 0), 0);
    std::weak_ptr<InstInstance> session = vel::SessionRegistry::lookup(handle);
    ci_destroy(handle);
    while (!session.expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(fs::file_size(dir.path() / "raw" / "run.bin"), 0u);
}

}  // namespace
