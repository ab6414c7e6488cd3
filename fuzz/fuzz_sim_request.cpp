// The simulator's request handling: the input, after its first byte, is the
// byte stream of one connection. It is split into lines as the server splits
// it, each line is answered by the dispatcher and the reply encoded for the
// wire, against a fresh simulated instrument whose clock moves on by the first
// byte's value in microseconds after every line. Every line must get exactly
// one reply; nothing may crash. Files the requests make in the scratch folder
// are removed after each input.
//
// Lines holding a slash, a backslash (no JSON escape can then make one) or
// ".." are skipped: service-side paths are given by the requests, and a fuzzed
// one must stay inside the scratch folder. So are "wait_data_ready" requests,
// which block for as long as they ask (up to a minute) by design.

#include "sim/model/instrument.h"
#include "sim/model/common/sim_clock.h"
#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/dispatcher.h"
#include "sim/protocol/reply_codec.h"
#include "sim/server/line_reader.h"
#include "scratch_dir.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

using namespace veltrano::sim;

namespace {

constexpr std::size_t kMaxLineBytes = 1 << 16;

bool isSkipped(std::string_view line) {
    return line.find_first_of("/\\") != std::string_view::npos || line.find("..") != std::string_view::npos ||
           line.find("wait_data_ready") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const ScratchDir scratch("fuzz_sim_request");
    static const CommandTable table = makeCommandTable();
    static const Dispatcher dispatcher(table);

    InstrumentConfig config;
    config.acquisition.dataDir = scratch.path();
    auto clock = std::make_shared<ManualSimClock>();
    Instrument instrument(config, clock);
    ConnectionState connection;
    CommandContext context{instrument, connection};
    const std::int64_t stepPs = static_cast<std::int64_t>(data[0]) * 1000000;

    LineReader reader(kMaxLineBytes);
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    for (const LineReader::Item& item : reader.feed(stream)) {
        if (!item.tooLong && isSkipped(item.line)) continue;
        const Reply reply = item.tooLong ? Dispatcher::lineTooLong(kMaxLineBytes) : dispatcher.handleLine(item.line, context);
        if (encodeReply(reply).empty()) std::abort();
        clock->advancePs(stepPs);
    }
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        std::filesystem::remove_all(entry.path());
    }
    return 0;
}
