// veltrano-sim: the instrument simulator. Stands in for the instrument service:
// answers the library's requests over TCP from one simulated instrument.
//
//   veltrano-sim [--port N] [--config FILE] [--seed N] [--trace] [--replay FILE [--replay-loop]]
//
// The first line on stdout is "veltrano-sim listening on 127.0.0.1:PORT" (the
// port is the line's last field; with --port 0 it is the one the system
// picked). Nothing else goes to stdout. SIGINT or SIGTERM end it cleanly.

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <boost/asio/signal_set.hpp>

#include "sim/config/sim_config.h"
#include "sim/model/instrument.h"
#include "sim/model/acquisition/replay_recording.h"
#include "sim/protocol/command_catalogue.h"
#include "sim/server/sim_server.h"

namespace {

using namespace veltrano::sim;

constexpr int kUsageError = 2;

struct CommandLine {
    std::optional<long long> port;
    std::optional<long long> seed;
    std::string configPath;
    std::string replayPath;
    bool replayLoop = false;
    bool trace = false;
};

void printUsage(std::ostream& out) {
    out << "usage: veltrano-sim [--port N] [--config FILE] [--seed N] [--trace] [--replay FILE [--replay-loop]]\n"
           "  --port N       TCP port on 127.0.0.1 (default 6789; 0 picks a free port)\n"
           "  --config FILE  simulator INI file (keys in the simulator's README)\n"
           "  --seed N       seed of the signal and status models (default 1)\n"
           "  --trace        write every request and reply to stderr\n"
           "  --replay FILE  play the raw file (format 0 .bin or 1 .dat, volume 0 of a set) instead of the signal model\n"
           "  --replay-loop  repeat the recording instead of ending the signal with it\n";
}

long long parseNumber(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) throw std::invalid_argument(option + " needs a number, got \"" + text + "\"");
    return value;
}

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--port") {
            cl.port = parseNumber(arg, next());
            if (*cl.port < 0 || *cl.port > 65535) throw std::invalid_argument("--port must be 0..65535");
        } else if (arg == "--seed") {
            cl.seed = parseNumber(arg, next());
        } else if (arg == "--config") {
            cl.configPath = next();
        } else if (arg == "--trace") {
            cl.trace = true;
        } else if (arg == "--replay") {
            cl.replayPath = next();
        } else if (arg == "--replay-loop") {
            cl.replayLoop = true;
        } else if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            std::exit(0);
        } else {
            throw std::invalid_argument("unknown option " + arg);
        }
    }
    if (cl.replayLoop && cl.replayPath.empty()) throw std::invalid_argument("--replay-loop needs --replay FILE");
    return cl;
}

}  // namespace

int main(int argc, char** argv) {
    // A peer that vanishes mid-reply must not kill the simulator.
    std::signal(SIGPIPE, SIG_IGN);

    CommandLine cl;
    SimConfig config;
    try {
        cl = parseCommandLine(argc, argv);
        config = loadSimConfig(cl.configPath);
        if (!cl.replayPath.empty()) {
            config.instrument.signal.replay =
                loadReplayRecording(cl.replayPath, config.instrument.signal.channelCount, cl.replayLoop);
        }
    } catch (const std::exception& e) {
        std::cerr << "veltrano-sim: " << e.what() << '\n';
        printUsage(std::cerr);
        return kUsageError;
    }
    if (cl.port) config.port = static_cast<int>(*cl.port);
    if (cl.seed) config.instrument.signal.seed = static_cast<std::uint64_t>(*cl.seed);

    try {
        Instrument instrument(config.instrument, std::make_shared<SteadySimClock>());
        const CommandTable commands = makeCommandTable();
        ServerOptions options;
        options.port = static_cast<std::uint16_t>(config.port);
        options.maxLineBytes = config.maxLineBytes;
        options.trace = cl.trace;
        SimServer server(options, instrument, commands);

        boost::asio::signal_set signals(server.ioContext(), SIGINT, SIGTERM);
        signals.async_wait([&server](const boost::system::error_code& ec, int) {
            if (!ec) server.stop();
        });

        std::cout << "veltrano-sim listening on " << options.address << ':' << server.port() << std::endl;
        server.run();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "veltrano-sim: " << e.what() << '\n';
        return 1;
    }
}
