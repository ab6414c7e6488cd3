// One exchange with the service, the service's reply being the fuzzer's input.
// The first byte picks the call (a call kind, a device query with its own reply
// reading, a point-list or a record fetch); the rest is written as the reply on
// a fresh loopback connection whose writing side is then shut, so a truncated
// reply ends in end-of-stream instead of blocking. The client must return a
// failure or a value and never crash.

#include "analysis/point_list_fetch.h"
#include "analysis/record_fetch.h"
#include "api/session_registry.h"
#include "net/call_kinds.h"
#include "scratch_dir.h"
#include "support/loopback.h"
#include "support/sim_process.h"

#include <veltranoapi/veltranoapi.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Larger replies are cut: the whole reply must fit the loopback buffers, since
// it is written before the client reads it.
constexpr size_t kMaxReplyBytes = 60000;

// The client sizes its buffer to an announced payload length before the bytes
// arrive (up to 64 MiB at once), so most random length headers cost a 64 MiB
// fill and made the target a hundred times slower. Inputs announcing more
// than a reply can carry here are not run; the framing's own tests cover
// large announced lengths.
bool announcesOversizedPayload(const uint8_t* reply, size_t size) {
    if (size < 4 || reply[0] == '{' || reply[0] == '[')
        return false;
    const uint32_t length = static_cast<uint32_t>(reply[0]) << 24 | static_cast<uint32_t>(reply[1]) << 16 |
                            static_cast<uint32_t>(reply[2]) << 8 | reply[3];
    return length > kMaxReplyBytes;
}

// A listening socket on 127.0.0.1 and the session's base directory (the log
// goes there) with an INI file naming that socket.
struct LoopbackService {
    int listenFd = veltest::listenOnLoopback(0);
    ScratchDir baseDir{"fuzz_reply_exchange"};
    std::string configPath = baseDir.path() + "/service.ini";

    LoopbackService() {
        if (listenFd < 0) std::abort();
        std::ofstream(configPath) << veltest::libraryConfigText(veltest::boundPort(listenFd));
    }
};

vel::analysis::RecordFetch recordFetch(uint8_t selector) {
    using namespace vel::analysis;
    static const RecordLayout* const layouts[] = {&kT2Records, &kT3Records, &kPulseRecords, &kNCoinsRecords};
    return RecordFetch{{{"cmd", "fetch_records"}},
                       *layouts[selector % 4],
                       "Fetch records failed",
                       "Fetch records",
                       std::chrono::milliseconds(0)};
}

// The call the client makes; its reply is already waiting on the connection.
void makeCall(uint64_t handle, uint8_t selector) {
    const vel::SessionPtr kept = vel::SessionRegistry::lookup(handle);
    if (!kept) {
        return;
    }
    const vel::SessionContext& session = kept->context;
    const nlohmann::json request{{"cmd", "get_value"}, {"channel", 1}};
    int i32 = 0;
    int other = 0;
    double f64 = 0;
    bool flag = false;
    char text[16];
    char otherText[8];
    int count = 0;
    switch (selector % 18) {
        case 0:
            vel::callPlain(session, request);
            break;
        case 1:
            vel::callWithI32Value(session, request, &i32);
            break;
        case 2:
            vel::callWithF64Value(session, request, &f64);
            break;
        case 3:
            vel::callWithBoolValue(session, request, &flag);
            break;
        case 4:
            vel::callWithStringValue(session, request, text, sizeof text);
            break;
        case 5:
            vel::callWithIpValue(session, request, text, sizeof text, otherText, sizeof otherText);
            break;
        case 6:
            vel::callWithMacValue(session, request, otherText, sizeof otherText);
            break;
        case 7:
            vel::callWithNetportValue(session, request, &i32, &other);
            break;
        case 8:
            vel::callReturningInt(session, request);
            break;
        case 9:
            std::free(vel::analysis::fetchIntegerPairs(session, "fetch_processdata", &count));
            break;
        case 10:
            std::free(vel::analysis::fetchDoublePairs(session, "fetch_processdata", &count));
            break;
        case 11: {
            DEVICE_INFO devices[3];
            ci_get_devices(handle, devices, 3);
            break;
        }
        case 12:
            ci_get_device_num(handle);
            break;
        case 13:
            ci_get_device(handle, selector / 18 % 3, &i32, text, sizeof text);
            break;
        case 14: {
            DEVICE_STATUS status;
            ci_get_device_status(handle, &status);
            break;
        }
        case 15:
            ci_get_device_temp(handle, &i32);
            break;
        default: {
            std::vector<int64_t> values;
            vel::analysis::fetchRecordBatch(session, recordFetch(selector / 18), values);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (announcesOversizedPayload(data + 1, size - 1))
        return -1;  // kept out of the corpus
    static const LoopbackService loopback;
    const uint64_t handle = ci_create(loopback.configPath.c_str(), loopback.baseDir.path().c_str());
    if (handle == 0)
        std::abort();
    const int peer = accept(loopback.listenFd, nullptr, nullptr);
    if (peer < 0)
        std::abort();
    // Closing with the request unread resets the connection, so no port is
    // left waiting and a long run cannot run out of them.
    const linger reset{1, 0};
    setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    const int sendBuffer = 4 * static_cast<int>(kMaxReplyBytes);
    setsockopt(peer, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    veltest::sendAll(peer, data + 1, std::min(size - 1, kMaxReplyBytes));
    shutdown(peer, SHUT_WR);
    makeCall(handle, data[0]);
    close(peer);
    ci_destroy(handle);
    return 0;
}
