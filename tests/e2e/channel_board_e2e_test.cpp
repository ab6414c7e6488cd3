// Channel and board settings through the shared library against the
// simulator: values written are read back, and values the simulator refuses
// come back as its own result codes with the setting unchanged.

#include "support/sim_session.h"

namespace {

using ChannelAndBoardSettings = veltest::SimSessionTest;

// Simulator result codes (see the simulator's README).
constexpr int kChannelOutOfRange = 4;
constexpr int kValueOutOfRange = 5;

struct ChannelSetting {
    const char* name;
    int (*set)(uint64_t, int, int);
    int (*get)(uint64_t, int, int*);
    int value;     // accepted by the simulator, not its default
    int tooLarge;  // beyond the simulator's range
};

const ChannelSetting kChannelSettings[] = {
    {"termination", ci_set_termination, ci_get_termination, CI_TERMINATION_HIGH_IMPEDANCE, 2},
    {"hysteresis", ci_set_hysteresis, ci_get_hysteresis, 5, 8},
    {"inter delay", ci_set_inter_delay, ci_get_inter_delay, 2500, 1000001},
    {"dead time", ci_set_dead_time, ci_get_dead_time, 45000, 1000000001},
    {"edge type", ci_set_edge_type, ci_get_edge_type, CI_EDGE_FALLING, 2},
    {"A/D integration point", ci_set_ad_integration_point, ci_get_ad_integration_point, 128, 1025},
};

struct BoardSetting {
    const char* name;
    int (*set)(uint64_t, int);
    int (*get)(uint64_t, int*);
    int value;
    int tooLarge;
};

const BoardSetting kBoardSettings[] = {
    {"TDC clock source", ci_set_tdc_clock_source, ci_get_tdc_clock_source, CI_TDC_CLOCK_EXTERNAL, 2},
    {"data mode", ci_set_data_mode, ci_get_data_mode, 3, 4},
    {"test mode", ci_set_test_mode, ci_get_test_mode, 1, 2},
    {"test data bandwidth", ci_set_test_data_bandwidth, ci_get_test_data_bandwidth, 250, 1001},
    {"coincidence window", ci_set_coins_time_window, ci_get_coins_time_window, 2000, 1000000001},
    {"A/D area scale", ci_set_ad_area_scale, ci_get_ad_area_scale, 16, 65536},
    {"acquisition type", ci_set_acq_type, ci_get_acq_type, 2, 4},
    {"output gate type", ci_set_output_gate_type, ci_get_output_gate_type, 1, 4},
    {"gate delay", ci_set_gate_delay, ci_get_gate_delay, 7000, 1000000001},
};

TEST_F(ChannelAndBoardSettings, ChannelSettingsAreReadBackAsWritten) {
    ASSERT_EQ(ci_set_dac(handle, 2, -0.35), 0);
    double dac = 0;
    EXPECT_EQ(ci_get_dac(handle, 2, &dac), 0);
    EXPECT_DOUBLE_EQ(dac, -0.35);
    for (const auto& s : kChannelSettings) {
        ASSERT_EQ(s.set(handle, 3, s.value), 0) << s.name;
        int value = -1;
        EXPECT_EQ(s.get(handle, 3, &value), 0) << s.name;
        EXPECT_EQ(value, s.value) << s.name;
        // Other channels keep their own value.
        EXPECT_EQ(s.get(handle, 4, &value), 0);
        EXPECT_NE(value, s.value) << s.name;
    }
}

TEST_F(ChannelAndBoardSettings, ChannelsAreEnabledOneByOneOrAllAtOnce) {
    bool enabled = false;
    EXPECT_EQ(ci_is_channel_enabled(handle, 5, &enabled), 0);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(ci_disable_channel(handle, 5), 0);
    EXPECT_EQ(ci_is_channel_enabled(handle, 5, &enabled), 0);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(ci_enable_all_channels(handle), 0);
    EXPECT_EQ(ci_is_channel_enabled(handle, 5, &enabled), 0);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(ci_disable_all_channels(handle), 0);
    EXPECT_EQ(ci_is_channel_enabled(handle, 16, &enabled), 0);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(ci_enable_channel(handle, 16), 0);
    EXPECT_EQ(ci_is_channel_enabled(handle, 16, &enabled), 0);
    EXPECT_TRUE(enabled);
}

TEST_F(ChannelAndBoardSettings, RefusedChannelValuesKeepTheSetting) {
    for (const auto& s : kChannelSettings) {
        int before = -1;
        ASSERT_EQ(s.get(handle, 1, &before), 0);
        EXPECT_EQ(s.set(handle, 1, s.tooLarge), kValueOutOfRange) << s.name;
        EXPECT_EQ(s.set(handle, 1, -1), kValueOutOfRange) << s.name;
        int after = -2;
        EXPECT_EQ(s.get(handle, 1, &after), 0);
        EXPECT_EQ(after, before) << s.name;
    }
    EXPECT_EQ(ci_set_dac(handle, 1, 2.0), kValueOutOfRange);
}

TEST_F(ChannelAndBoardSettings, ChannelsOutsideTheInstrumentAreRefused) {
    const int channels = ci_get_channel_num(handle);
    ASSERT_GT(channels, 0);
    for (int channel : {0, -1, channels + 1}) {
        EXPECT_EQ(ci_set_termination(handle, channel, 1), kChannelOutOfRange) << channel;
        EXPECT_EQ(ci_enable_channel(handle, channel), kChannelOutOfRange) << channel;
        // A refused query carries no value: the output stays as it was.
        int value = 77;
        EXPECT_EQ(ci_get_dead_time(handle, channel, &value), kChannelOutOfRange) << channel;
        EXPECT_EQ(value, 77);
    }
    EXPECT_EQ(ci_get_hysteresis(handle, channels, nullptr), 0);
}

TEST_F(ChannelAndBoardSettings, BoardSettingsAreReadBackAndRangesEnforced) {
    for (const auto& s : kBoardSettings) {
        ASSERT_EQ(s.set(handle, s.value), 0) << s.name;
        int value = -1;
        EXPECT_EQ(s.get(handle, &value), 0) << s.name;
        EXPECT_EQ(value, s.value) << s.name;
        EXPECT_EQ(s.set(handle, s.tooLarge), kValueOutOfRange) << s.name;
        EXPECT_EQ(s.get(handle, &value), 0);
        EXPECT_EQ(value, s.value) << s.name;
    }
    EXPECT_EQ(ci_set_board_id(handle, 42), 0);
    EXPECT_EQ(ci_get_board_id(handle), 42);
    EXPECT_EQ(ci_set_board_id(handle, 256), kValueOutOfRange);
    EXPECT_EQ(ci_get_board_id(handle), 42);
}

TEST_F(ChannelAndBoardSettings, SystemResetRestoresTheDefaults) {
    ASSERT_EQ(ci_set_termination(handle, 1, CI_TERMINATION_HIGH_IMPEDANCE), 0);
    ASSERT_EQ(ci_set_gate_delay(handle, 5000), 0);
    ASSERT_EQ(ci_disable_channel(handle, 1), 0);
    EXPECT_EQ(ci_tdc_resetn(handle), 0);
    EXPECT_EQ(ci_reset_state(handle), 0);
    EXPECT_EQ(ci_self_check(handle), 0);
    int value = -1;
    EXPECT_EQ(ci_get_gate_delay(handle, &value), 0);
    EXPECT_EQ(value, 5000);

    EXPECT_EQ(ci_system_resetn(handle), 0);
    EXPECT_EQ(ci_get_termination(handle, 1, &value), 0);
    EXPECT_EQ(value, CI_TERMINATION_50_OHM);
    EXPECT_EQ(ci_get_gate_delay(handle, &value), 0);
    EXPECT_EQ(value, 0);
    bool enabled = false;
    EXPECT_EQ(ci_is_channel_enabled(handle, 1, &enabled), 0);
    EXPECT_TRUE(enabled);
}

TEST_F(ChannelAndBoardSettings, SessionsShareOneInstrument) {
    const uint64_t other = openSession();
    ASSERT_NE(other, 0u);
    ASSERT_EQ(ci_set_hysteresis(handle, 6, 3), 0);
    int value = -1;
    EXPECT_EQ(ci_get_hysteresis(other, 6, &value), 0);
    EXPECT_EQ(value, 3);
    ci_destroy(other);
    EXPECT_EQ(ci_get_hysteresis(other, 6, &value), -1);
}

}  // namespace
