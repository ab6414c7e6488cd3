// A service that misbehaves in every way the wire allows, against one export
// of each call kind. For every fault the export returns its failure value,
// writes the expected error line and keeps the caller's outputs; the process
// carries on, and so does the session: a session whose peer is still there
// answers the next call correctly, one whose peer closed keeps failing without
// hanging (there is no reconnect) until it is destroyed.

#include "support/service_session.h"
#include "support/windows_skip.h"
#include "point_payload.h"

#if !defined(_WIN32)
#include <dirent.h>
#endif

#include <functional>
#include <ostream>
#include <sstream>
#include <tuple>

namespace {

using veltest::FakeService;

// What an export gave back, rendered as text: its return value and the
// outputs it filled (outputs start from fixed sentinels, so "untouched" has
// one rendering per export).
struct CallOutcome {
    std::string returned;
    std::string outputs;
    bool operator==(const CallOutcome&) const = default;
};

void PrintTo(const CallOutcome& outcome, std::ostream* os) {
    *os << "returned " << outcome.returned << ", outputs \"" << outcome.outputs << "\"";
}

std::string text(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// One export standing for each call kind.
struct CallKind {
    const char* name;
    std::string operation;  // begins every failure line of the export
    bool wantsBinary;
    std::string soundReply;
    CallOutcome soundOutcome;
    std::string failureValue;
    std::string untouchedOutputs;
    std::function<CallOutcome(uint64_t)> call;
};

void PrintTo(const CallKind& kind, std::ostream* os) { *os << kind.name; }

const std::vector<CallKind>& callKinds() {
    static const std::vector<CallKind> kinds = {
        {"StatusCall", "Generic json call", false, "{\"result\":0}\n", {"0", ""}, "-1", "",
         [](uint64_t handle) { return CallOutcome{std::to_string(ci_set_dac(handle, 1, 0.5)), ""}; }},
        {"ValueQuery", "Generic json call with f64 value", false,
         "{\"result\":0,\"data\":{\"status\":0,\"value\":1.25}}\n", {"0", "1.25"}, "-1", "-7.5",
         [](uint64_t handle) {
             double value = -7.5;
             const int result = ci_get_dac(handle, 1, &value);
             return CallOutcome{std::to_string(result), text(value)};
         }},
        {"StringQuery", "Generic json call with string value", false, "{\"result\":0,\"data\":\"V2.0.1\"}\n",
         {"0", "V2.0.1"}, "-1", "keep",
         [](uint64_t handle) {
             char buffer[16] = "keep";
             const int result = ci_get_fw_version(handle, buffer, sizeof buffer);
             return CallOutcome{std::to_string(result), buffer};
         }},
        {"ReturnedIntCall", "Generic json call returned int value", false, "{\"result\":0,\"data\":8}\n",
         {"8", ""}, "-1", "",
         [](uint64_t handle) { return CallOutcome{std::to_string(ci_get_channel_num(handle)), ""}; }},
        {"JsonDataCall", "Get device status", false,
         "{\"result\":0,\"data\":{\"temperature\":41,\"current1\":0.5}}\n", {"0", "41 0.5"}, "-1", "-99 -1",
         [](uint64_t handle) {
             DEVICE_STATUS status{};
             status.temperature = -99;
             status.current1 = -1.0f;
             const int result = ci_get_device_status(handle, &status);
             return CallOutcome{std::to_string(result),
                                std::to_string(status.temperature) + " " + text(status.current1)};
         }},
        {"BinaryFetch", "Fetch analysis data", true,
         FakeService::lengthHeader(36) + veltest::pointPayload({{1.0, 2.0}, {3.0, 4.0}}), {"array", "2: 1,2 3,4"},
         "null", "0",
         [](uint64_t handle) {
             int count = -5;
             int64_t* points = ci_fetch_tof_processdata(handle, &count);
             std::string outputs = std::to_string(count);
             if (points != nullptr) {
                 outputs += ":";
                 for (int i = 0; i < count; ++i) {
                     outputs += " " + std::to_string(points[2 * i]) + "," + std::to_string(points[2 * i + 1]);
                 }
                 ci_free_int64_data(points);
             }
             return CallOutcome{points != nullptr ? "array" : "null", outputs};
         }},
    };
    return kinds;
}

enum class Match { Nothing, Exact, Prefix };

// An expected error line; "{op}" stands for the export's operation text.
struct LogExpectation {
    Match match;
    std::string text;
    std::string alsoContains;
};

std::string withOperation(std::string text, const std::string& operation) {
    if (const size_t at = text.find("{op}"); at != std::string::npos) {
        text.replace(at, 4, operation);
    }
    return text;
}

enum class Outcome { Fails, Succeeds };
enum class Afterwards { SessionCarriesOn, PeerIsGone };

struct Fault {
    const char* name;
    std::function<void(FakeService&, const CallKind&)> script;
    Outcome outcome;
    bool outputsKept;  // the reply never got far enough to fill an output
    LogExpectation whenJsonExpected;
    LogExpectation whenBinaryExpected;
    Afterwards afterwards;
};

void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name; }

// The bytes, then the peer closes.
std::function<void(FakeService&, const CallKind&)> thenClose(std::string bytes) {
    return [bytes](FakeService& service, const CallKind&) { service.replyThenClose(bytes); };
}

std::function<void(FakeService&, const CallKind&)> only(std::string bytes) {
    return [bytes](FakeService& service, const CallKind&) { service.reply(bytes); };
}

// The sound reply cut after its first byte, inside its first four bytes and
// in its middle.
std::vector<std::string> inPieces(const std::string& reply) {
    const size_t middle = reply.size() / 2;
    return {reply.substr(0, 1), reply.substr(1, 2), reply.substr(3, middle - 3), reply.substr(middle)};
}

const std::vector<Fault>& faultTable() {
    const LogExpectation noResponse{Match::Exact, "{op} exception: Failed to read response", ""};
    const LogExpectation lineCut{Match::Prefix, "{op} exception: read_until", ""};
    const LogExpectation headerCut{Match::Exact, "{op} exception: Failed to read binary length header", ""};
    const LogExpectation payloadCut{Match::Exact, "{op} exception: Failed to read full binary data", ""};
    const LogExpectation lengthRefused{Match::Exact, "{op} exception: Binary length header above the largest payload",
                                       ""};
    const LogExpectation parseError{Match::Prefix, "{op} exception: [json.exception.parse_error", ""};
    const LogExpectation binaryForJson{Match::Prefix, "{op} exception: ", "variant"};
    const LogExpectation jsonForBinary{Match::Exact, "Fetch analysis data failed", ""};
    const LogExpectation nothing{Match::Nothing, "", ""};
    const std::string nested = std::string(100000, '[') + std::string(100000, ']') + "\n";
    constexpr auto fails = Outcome::Fails;
    constexpr auto carriesOn = Afterwards::SessionCarriesOn;
    constexpr auto gone = Afterwards::PeerIsGone;

    static const std::vector<Fault> faults = {
        {"ClosedBeforeAnyByte", [](FakeService& s, const CallKind&) { s.closeOnRequest(); }, fails, true,
         noResponse, noResponse, gone},
        {"ClosedInsideAJsonLine", thenClose("{\"result\":0,\"da"), fails, true, lineCut, lineCut, gone},
        {"ClosedAfterAJsonLineWithoutLineFeed", thenClose("{\"result\":0}"), fails, true, lineCut, lineCut, gone},
        {"ClosedInsideTheLengthHeader", thenClose(std::string("\0\0", 2)), fails, true, headerCut, headerCut, gone},
        {"ClosedInsideABinaryPayload", thenClose(FakeService::lengthHeader(36) + "0123456789"), fails, true,
         payloadCut, payloadCut, gone},
        {"ClosedAfterACompleteReply",
         [](FakeService& s, const CallKind& kind) { s.replyThenClose(kind.soundReply); }, Outcome::Succeeds, false,
         nothing, nothing, gone},
        {"GarbageFirstBytes", thenClose("HTTP/1.1 400 Bad Request\r\n\r\n"), fails, true, payloadCut, payloadCut,
         gone},
        {"SpaceBeforeJson", thenClose(" {\"result\":0}\n"), fails, true, payloadCut, payloadCut, gone},
        {"LengthZero", only(FakeService::lengthHeader(0)), fails, true, binaryForJson, nothing, carriesOn},
        {"LengthOne", only(FakeService::lengthHeader(1) + "x"), fails, true, binaryForJson, nothing, carriesOn},
        {"LargestAllowedLengthCutShort", thenClose(FakeService::lengthHeader(0x5AFFFFFFu) + "0123456789"), fails,
         true, payloadCut, payloadCut, gone},
        // Its first byte is '[': the reader takes it for a JSON line.
        {"LargestPlusOneLengthCutShort", thenClose(FakeService::lengthHeader(0x5B000000u) + "0123"), fails, true,
         lineCut, lineCut, gone},
        {"AllOnesLengthCutShort", thenClose(FakeService::lengthHeader(0xFFFFFFFFu) + "0123456789"), fails, true,
         lengthRefused, lengthRefused, gone},
        {"InvalidUtf8InAString", only("{\"result\":0,\"data\":\"\xff\xfe\"}\n"), fails, true, parseError,
         parseError, carriesOn},
        {"InvalidJson", only("{\"result\":0,}\n"), fails, true, parseError, parseError, carriesOn},
        {"OppositeKindOfReply",
         [](FakeService& s, const CallKind& kind) {
             if (kind.wantsBinary) {
                 s.reply("{\"result\":0}\n");
             } else {
                 s.replyBinary("abcde");
             }
         },
         fails, true, binaryForJson, jsonForBinary, carriesOn},
        {"ResultMissing", only("{\"data\":{\"status\":0,\"value\":1}}\n"), fails, false, nothing, jsonForBinary,
         carriesOn},
        {"ResultOfTheWrongType", only("{\"result\":\"0\",\"data\":{\"status\":0,\"value\":1}}\n"), fails, false,
         nothing, jsonForBinary, carriesOn},
        {"ReplyNotAnObject", only("[0,1]\n"), fails, true, nothing, jsonForBinary, carriesOn},
        {"DeeplyNestedReply", only(nested), fails, true, nothing, jsonForBinary, carriesOn},
        {"SoundReplyInPieces",
         [](FakeService& s, const CallKind& kind) { s.replyInPieces(inPieces(kind.soundReply)); },
         Outcome::Succeeds, false, nothing, nothing, carriesOn},
    };
    return faults;
}

class FaultTable : public veltest::ServiceSessionTest,
                   public ::testing::WithParamInterface<std::tuple<Fault, CallKind>> {};

void expectLogged(const std::vector<std::string>& errors, const LogExpectation& expected, const CallKind& kind) {
    if (expected.match == Match::Nothing) {
        EXPECT_TRUE(errors.empty()) << errors.front();
        return;
    }
    ASSERT_EQ(errors.size(), 1u);
    const std::string line = withOperation(expected.text, kind.operation);
    if (expected.match == Match::Exact) {
        EXPECT_EQ(errors[0], line);
    } else {
        EXPECT_EQ(errors[0].rfind(line, 0), 0u) << errors[0];
    }
    EXPECT_NE(errors[0].find(expected.alsoContains), std::string::npos) << errors[0];
}

TEST_P(FaultTable, ExportFailsWithItsFailureValueAndMessageThenCarriesOn) {
    const auto& [fault, kind] = GetParam();
    fault.script(service, kind);
    const CallOutcome first = kind.call(handle);
    if (fault.outcome == Outcome::Fails) {
        EXPECT_EQ(first.returned, kind.failureValue);
        if (fault.outputsKept) {
            EXPECT_EQ(first.outputs, kind.untouchedOutputs);
        }
    } else {
        EXPECT_EQ(first, kind.soundOutcome);
    }
    expectLogged(log.errors(), kind.wantsBinary ? fault.whenBinaryExpected : fault.whenJsonExpected, kind);

    log.clear();
    if (fault.afterwards == Afterwards::SessionCarriesOn) {
        service.reply(kind.soundReply);
        EXPECT_EQ(kind.call(handle), kind.soundOutcome);
        EXPECT_TRUE(log.errors().empty());
        EXPECT_EQ(service.connectionCount(), 1u);
        ci_destroy(handle);
        EXPECT_TRUE(service.waitForOpenConnections(0)) << "the library kept its socket open";
    } else {
        // The peer is gone: the next call fails at once and says why.
        EXPECT_EQ(kind.call(handle).returned, kind.failureValue);
        const auto errors = log.errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind(kind.operation + " exception: ", 0), 0u) << errors[0];
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAndCallKind, FaultTable,
                         ::testing::Combine(::testing::ValuesIn(faultTable()), ::testing::ValuesIn(callKinds())),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

size_t openDescriptorCount() {
    size_t count = 0;
#if !defined(_WIN32)
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
#endif
    return count;
}

TEST(FaultTableDescriptors, NoneAccumulateOverTheWholeTable) {
    VELTRANO_SKIP_ON_WINDOWS("open descriptors are counted in /proc/self/fd");
    veltest::LogCapture log;  // opens the log file before the count
    log.expectErrorContaining("");  // every fault logs; the table checks each line
    const size_t before = openDescriptorCount();
    // The kinds share the exchange; one that wants JSON and the one that wants
    // binary cover both ways a reply is read.
    const CallKind& json = callKinds().front();
    const CallKind& binary = callKinds().back();
    for (const Fault& fault : faultTable()) {
        for (const CallKind* kind : {&json, &binary}) {
            veltest::TempDir dir;
            FakeService service;
            const uint64_t handle = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
            ASSERT_NE(handle, 0u);
            fault.script(service, *kind);
            kind->call(handle);
            kind->call(handle);
            ci_destroy(handle);
        }
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

using OversizeFrames = veltest::ServiceSessionTest;

// A length header above the largest payload the protocol allows can only be
// garbage: it is refused at once, not waited for while the peer keeps the
// connection open.
TEST_F(OversizeFrames, HeaderAboveTheLargestAllowedIsRefusedWithoutWaitingForItsPayload) {
    service.reply(FakeService::lengthHeader(0xFFFFFFFFu) + "0123456789");
    double value = -7.5;
    EXPECT_EQ(ci_get_dac(handle, 1, &value), -1);
    EXPECT_EQ(value, -7.5);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Generic json call with f64 value exception: Binary length header above the largest payload");
}

}  // namespace

namespace {

using ServiceRestart = veltest::ServiceSessionTest;

TEST_F(ServiceRestart, SessionFailsUntilDestroyedWhileANewSessionReachesTheReturnedService) {
    EXPECT_EQ(ci_set_dac(handle, 1, 0.5), 0);
    service.restart();
    EXPECT_EQ(ci_set_dac(handle, 1, 0.5), -1);  // its connection went with the service
    EXPECT_EQ(ci_set_dac(handle, 1, 0.5), -1);  // and is not opened again
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Generic json call exception: Failed to read response");
    EXPECT_EQ(errors[1].rfind("Generic json call exception: ", 0), 0u) << errors[1];

    const uint64_t fresh = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
    ASSERT_NE(fresh, 0u);
    EXPECT_EQ(ci_set_dac(fresh, 1, 0.5), 0);
    ci_destroy(fresh);
    EXPECT_EQ(service.connectionCount(), 2u);
}

}  // namespace
