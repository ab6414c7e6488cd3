#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/config/sim_config.h"

namespace veltrano::sim {
namespace {

std::string failureOf(const std::string& ini) {
    try {
        parseSimConfig(ini, "test.ini");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(SimConfig, EmptyFileGivesTheDocumentedDefaults) {
    const SimConfig c = parseSimConfig("", "test.ini");
    EXPECT_EQ(c.port, 6789);
    EXPECT_EQ(c.maxLineBytes, 1u << 20);
    EXPECT_EQ(c.instrument.signal.channelCount, 16);
    EXPECT_EQ(c.instrument.signal.backgroundRateHz, std::vector<double>(16, 1000.0));
    ASSERT_EQ(c.instrument.signal.pairs.size(), 1u);
    EXPECT_EQ(c.instrument.signal.pairs[0].channelA, 1);
    EXPECT_EQ(c.instrument.signal.pairs[0].channelB, 2);
    EXPECT_EQ(c.instrument.signal.clock.channel, 16);
    EXPECT_EQ(c.instrument.devices.size(), 2u);
}

TEST(SimConfig, ReadsSourcesChannelsDevicesAndNetworkFromTheirSections) {
    const SimConfig c = parseSimConfig(
        "[server]\nport = 7000\n"
        "[instrument]\nchannels = 8\nseed = 99\nfirmware_version = 9.9\n"
        "[background]\nrate_hz = 250\n[channel3]\nbackground_rate_hz = 5000\n"
        "[pairs]\ncount = 2\n[pair2]\nchannel_a = 5\nchannel_b = 7\ndelay_ps = -300\n"
        "[clock]\nfrequency_hz = 1e7\n"
        "[device1]\ntype = 4\nname = only one\n"
        "[wnetwork]\ndevice_ip = 10.1.2.3\n",
        "test.ini");
    const SignalConfig& s = c.instrument.signal;
    EXPECT_EQ(c.port, 7000);
    EXPECT_EQ(s.channelCount, 8);
    EXPECT_EQ(s.seed, 99u);
    EXPECT_EQ(c.instrument.identity.firmwareVersion, "9.9");
    EXPECT_EQ(s.backgroundRateHz[0], 250.0);
    EXPECT_EQ(s.backgroundRateHz[2], 5000.0);
    ASSERT_EQ(s.pairs.size(), 2u);
    EXPECT_EQ(s.pairs[0].channelB, 2);
    EXPECT_EQ(s.pairs[1].channelA, 5);
    EXPECT_EQ(s.pairs[1].delayPs, -300.0);
    EXPECT_EQ(s.clock.channel, 8);  // the last channel by default
    EXPECT_EQ(s.clock.frequencyHz, 1e7);
    ASSERT_EQ(c.instrument.devices.size(), 1u);
    EXPECT_EQ(c.instrument.devices[0].type, 4);
    EXPECT_EQ(c.instrument.wnetwork.deviceIp, "10.1.2.3");
}

TEST(SimConfig, UnusableValuesNameTheFileSectionAndKey) {
    EXPECT_EQ(failureOf("[instrument]\nchannels = many\n"), "test.ini: [instrument] channels is not an integer: \"many\"");
    EXPECT_NE(failureOf("[instrument]\nchannels = 0\n").find("channels"), std::string::npos);
    EXPECT_NE(failureOf("[pair1]\nchannel_b = 17\n").find("[pair1] channel_b"), std::string::npos);
    EXPECT_NE(failureOf("[pair1]\nchannel_b = 1\n").find("must differ"), std::string::npos);
    EXPECT_NE(failureOf("[background]\nrate_hz = -5\n").find("negative"), std::string::npos);
    EXPECT_NE(failureOf("[network]\ndevice_mac = nope\n").find("device_mac"), std::string::npos);
    EXPECT_NE(failureOf("[clock]\nenabled = perhaps\n").find("boolean"), std::string::npos);
    EXPECT_NE(failureOf("[server]\nport = 70000\n").find("port"), std::string::npos);
    EXPECT_NE(failureOf("no section line\n").find("syntax error on line 1"), std::string::npos);
}

TEST(SimConfig, ReadsTheEmitterAndLeavesItOffByDefault) {
    EXPECT_EQ(parseSimConfig("", "test.ini").instrument.signal.emitter.channel, 0);
    const EmitterConfig e =
        parseSimConfig("[emitter]\nchannel = 3\nexcitation_rate_hz = 2e5\nlifetime_ps = 4000\n", "test.ini")
            .instrument.signal.emitter;
    EXPECT_EQ(e.channel, 3);
    EXPECT_EQ(e.excitationRateHz, 2e5);
    EXPECT_EQ(e.lifetimePs, 4000.0);
    EXPECT_NE(failureOf("[emitter]\nchannel = 17\n").find("[emitter] channel"), std::string::npos);
    EXPECT_NE(failureOf("[emitter]\nchannel = -1\n").find("[emitter] channel"), std::string::npos);
    EXPECT_NE(failureOf("[emitter]\nlifetime_ps = -1\n").find("negative"), std::string::npos);
}

TEST(SimConfig, MissingFileIsAnError) {
    EXPECT_THROW(loadSimConfig("/nonexistent/dir/sim.ini"), std::runtime_error);
}

TEST(SimConfig, ReadsAcquisitionStreamAndRateSectionsWithinTheirRanges) {
    const SimConfig defaults = parseSimConfig("", "test.ini");
    EXPECT_EQ(defaults.instrument.acquisition.dataDir, ".");
    EXPECT_EQ(defaults.instrument.acquisition.maxReplyBytes, 8u << 20);
    EXPECT_EQ(defaults.instrument.stream.chunkBytes, 4u << 20);
    EXPECT_EQ(defaults.instrument.stream.totalBytes, 0u);
    EXPECT_EQ(defaults.instrument.rates.sampleIntervalMs, 100);

    const SimConfig c = parseSimConfig(
        "[acquisition]\ndata_dir = /srv/raw\nbuffer_limit_bytes = 17179869184\n"
        "[stream]\nchunk_bytes = 16\ntotal_bytes = 2147483648\n"
        "[rates]\nsample_interval_ms = 1000\nmax_recording_s = 10\n",
        "test.ini");
    EXPECT_EQ(c.instrument.acquisition.dataDir, "/srv/raw");
    EXPECT_EQ(c.instrument.acquisition.bufferLimitBytes, 16ULL << 30);
    EXPECT_EQ(c.instrument.stream.chunkBytes, 16u);
    EXPECT_EQ(c.instrument.stream.totalBytes, 2ULL << 30);
    EXPECT_EQ(c.instrument.rates.sampleIntervalMs, 1000);
    EXPECT_EQ(c.instrument.rates.maxRecordingS, 10);

    EXPECT_EQ(failureOf("[stream]\nchunk_bytes = 268435457\n"),
              "test.ini: [stream] chunk_bytes must be 16..268435456");
    EXPECT_NE(failureOf("[acquisition]\nmax_reply_bytes = 100\n"), "");
    EXPECT_NE(failureOf("[rates]\nsample_interval_ms = 0\n"), "");
    EXPECT_NE(failureOf("[stream]\ntotal_bytes = -1\n"), "");
}

}  // namespace
}  // namespace veltrano::sim
