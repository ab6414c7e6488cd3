#pragma once
// Drives the simulator through its dispatcher on a hand-moved clock, with the
// analyses' requests and decoders for the binary replies of their fetches.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>

#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/dispatcher.h"
#include "support/temp_dir.h"

namespace veltrano::sim {

inline constexpr std::int64_t kAnalysisMillisecondPs = 1'000'000'000;

struct DecodedPoint {
    double x;
    double y;
};

// A point list: uint32 LE count, then LE double pairs; fails the test when the size does not match.
inline std::vector<DecodedPoint> decodePointList(const std::vector<std::uint8_t>& payload) {
    std::vector<DecodedPoint> points;
    if (payload.size() < 4) {
        ADD_FAILURE() << "point list of " << payload.size() << " bytes";
        return points;
    }
    const std::uint32_t count = payload[0] | payload[1] << 8 | payload[2] << 16 | std::uint32_t{payload[3]} << 24;
    EXPECT_EQ(payload.size(), 4 + 16 * std::size_t{count});
    if (payload.size() != 4 + 16 * std::size_t{count}) return points;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        for (int b = 7; b >= 0; --b) {
            x = x << 8 | payload[4 + 16 * i + b];
            y = y << 8 | payload[12 + 16 * i + b];
        }
        points.push_back({std::bit_cast<double>(x), std::bit_cast<double>(y)});
    }
    return points;
}

template <class T>
T readLittleEndian(const std::uint8_t* p) {
    std::make_unsigned_t<T> v = 0;
    for (int b = static_cast<int>(sizeof(T)) - 1; b >= 0; --b) v = static_cast<std::make_unsigned_t<T>>(v << 8 | p[b]);
    return static_cast<T>(v);
}

class DispatcherFixture : public ::testing::Test {
protected:
    using Json = nlohmann::json;

    void build(InstrumentConfig config) {
        config.acquisition.dataDir = dir_.str();
        instrument_ = std::make_unique<Instrument>(config, clock_);
        context_ = std::make_unique<CommandContext>(CommandContext{*instrument_, connection_});
    }
    Reply reply(const Json& request) { return dispatcher_.handleLine(request.dump(), *context_); }
    Json call(const Json& request) {
        const Reply r = reply(request);
        EXPECT_TRUE(r.isJson()) << request.dump();
        return r.isJson() ? r.json() : Json();
    }
    std::vector<std::uint8_t> binary(const Json& request) {
        const Reply r = reply(request);
        EXPECT_FALSE(r.isJson()) << request.dump() << " answered " << (r.isJson() ? r.json().dump() : "");
        const auto payload = r.binary();
        return std::vector<std::uint8_t>(payload.begin(), payload.end());
    }
    std::vector<DecodedPoint> points(const Json& request) { return decodePointList(binary(request)); }
    // Lets simulated time pass in steps, the instrument keeping up as its keeper would.
    void pass(std::int64_t ms, std::int64_t stepMs = 100) {
        for (std::int64_t t = 0; t < ms; t += stepMs) {
            clock_->advancePs(stepMs * kAnalysisMillisecondPs);
            instrument_->advanceSignal();
        }
    }

    // A request with one key set to another value, or left out.
    static Json withKey(Json request, const std::string& key, Json value) {
        request[key] = std::move(value);
        return request;
    }
    static Json without(Json request, const std::string& key) {
        request.erase(key);
        return request;
    }

    static Json tof(std::int64_t duration, int ch1, int ch2, std::int64_t window, std::int64_t avgTimes = 1) {
        return Json{{"cmd", "tof_analysis"},  {"duration", duration},   {"ch1", ch1},
                    {"ch2", ch2},             {"coins_time_window", window}, {"enable_t3_data", 0},
                    {"avg_times", avgTimes}, {"folder_path", ""},       {"file_name", ""}};
    }
    static Json crossCorrelationConfig(std::int64_t virtualTwin, std::int64_t binWidth, std::int64_t dcr1,
                                       std::int64_t dcr2) {
        return Json{{"cmd", "set_cross_correlation_config"}, {"virtual_twin", virtualTwin},
                    {"bin_width", binWidth},                 {"dcr1", dcr1},
                    {"dcr2", dcr2}};
    }
    static Json strategy(const std::string& name, std::vector<int> channels, std::int64_t virtualTwin) {
        return Json{{"strategy_name", name}, {"channels", channels}, {"virtual_twin", virtualTwin}};
    }
    static Json ncoins(std::int64_t duration, Json strategies, int enableRaw = 0, const std::string& file = "") {
        return Json{{"cmd", "ncoins_analysis"}, {"duration", duration},     {"ncoins_strats", std::move(strategies)},
                    {"enable_raw_data", enableRaw}, {"folder_path", ""}, {"file_name", file}};
    }
    static Json startstop(std::int64_t duration, Json groups, Json duals, std::int64_t window) {
        return Json{{"cmd", "startstop_analysis"}, {"duration", duration},     {"chan_groups", std::move(groups)},
                    {"dual_stops_groups", std::move(duals)}, {"coins_time_window", window}, {"enable_t3_data", 0},
                    {"folder_path", ""},                   {"file_name", ""}};
    }

    veltest::TempDir dir_;
    std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
    std::unique_ptr<Instrument> instrument_;
    CommandTable table_ = makeCommandTable();
    Dispatcher dispatcher_{table_};
    ConnectionState connection_;
    std::unique_ptr<CommandContext> context_;
};

}  // namespace veltrano::sim
