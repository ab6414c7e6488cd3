/*
 * Calls every exported function through the public header, compiled as C and
 * linked against the shared library, so each of the 147 declarations must
 * match a definition of the same name and calling convention in this build
 * (64-bit or 32-bit).
 *
 * No service is needed: every function that takes a handle is called with
 * handles no session has (0, an unused number, and one that differs from the
 * first handle of a process only in its upper 32 bits) and must return its
 * failure value, set its count out-parameter to 0 where it has one, and leave
 * every other output untouched. The handle-free helpers are called with real
 * data, including values that need the full 64 bits. The struct layouts are
 * checked at compile time by struct_layout_checks.h.
 *
 * Exit status 0 when every check holds; each failed check prints one line.
 */
#include "struct_layout_checks.h"

#include <veltranoapi/veltranoapi.h>

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef VELTRANO_EXPECTED_VERSION
#error "VELTRANO_EXPECTED_VERSION must name the project version"
#endif

static int failures = 0;

static void expect_int(const char* what, long long got, long long want) {
    if (got != want) {
        fprintf(stderr, "FAILED %s: got %lld, expected %lld\n", what, got, want);
        ++failures;
    }
}

static void expect_null(const char* what, const void* got) {
    if (got != NULL) {
        fprintf(stderr, "FAILED %s: expected a null pointer\n", what);
        ++failures;
    }
}

static void expect_text(const char* what, const char* got, const char* want) {
    if (strcmp(got, want) != 0) {
        fprintf(stderr, "FAILED %s: got \"%s\", expected \"%s\"\n", what, got, want);
        ++failures;
    }
}

/* An int-returning export with an unknown handle returns -1. */
#define EXPECT_MINUS_ONE(call) expect_int(#call, (call), -1)

/* A fetch with an unknown handle returns null and sets its count to 0. */
#define EXPECT_EMPTY_FETCH(call)                 \
    do {                                         \
        count = 77;                              \
        expect_null(#call, (const void*)(call)); \
        expect_int(#call " count", count, 0);    \
    } while (0)

/* What the output parameters hold before the calls; none may change. */
#define SENTINEL_INT 77
#define SENTINEL_DOUBLE 7.5
#define SENTINEL_TEXT "keep"
#define SENTINEL_BYTE 0x5A

static void check_unknown_handle(uint64_t h) {
    int count = 0;
    int value = SENTINEL_INT;
    int second_value = SENTINEL_INT;
    double real = SENTINEL_DOUBLE;
    bool flag = true;
    char text[16] = SENTINEL_TEXT;
    char second_text[16] = SENTINEL_TEXT;
    DEVICE_INFO devices[2];
    DEVICE_STATUS status;
    DEVICE_INFO untouched_devices[2];
    DEVICE_STATUS untouched_status;
    const int32_t stops[2] = {2, 3};
    const CHAN_GROUP groups[1] = {{1, stops, 2}};
    const DUAL_STOPS_GROUP dual_groups[1] = {{1, 2, 3}};
    const NCOINS_STRATEGY strategies[1] = {{"AB", stops, 2, 1}};

    memset(devices, SENTINEL_BYTE, sizeof devices);
    memset(&status, SENTINEL_BYTE, sizeof status);
    memcpy(untouched_devices, devices, sizeof devices);
    memcpy(&untouched_status, &status, sizeof status);

    /* Session life cycle and logging: nothing happens, nothing is logged. */
    ci_destroy(h);
    ci_info(h, "unknown handle");
    ci_warn(h, "unknown handle");
    ci_error(h, "unknown handle");
    ci_critical(h, "unknown handle");

    /* Service link, channel and board settings. */
    EXPECT_MINUS_ONE(ci_connect(h, 1));
    EXPECT_MINUS_ONE(ci_disconnect(h));
    EXPECT_MINUS_ONE(ci_set_dac(h, 1, 0.25));
    EXPECT_MINUS_ONE(ci_get_dac(h, 1, &real));
    EXPECT_MINUS_ONE(ci_set_termination(h, 1, CI_TERMINATION_50_OHM));
    EXPECT_MINUS_ONE(ci_get_termination(h, 1, &value));
    EXPECT_MINUS_ONE(ci_set_hysteresis(h, 1, 1));
    EXPECT_MINUS_ONE(ci_get_hysteresis(h, 1, &value));
    EXPECT_MINUS_ONE(ci_set_inter_delay(h, 1, 100));
    EXPECT_MINUS_ONE(ci_get_inter_delay(h, 1, &value));
    EXPECT_MINUS_ONE(ci_set_dead_time(h, 1, 100));
    EXPECT_MINUS_ONE(ci_get_dead_time(h, 1, &value));
    EXPECT_MINUS_ONE(ci_set_edge_type(h, 1, CI_EDGE_RISING));
    EXPECT_MINUS_ONE(ci_get_edge_type(h, 1, &value));
    EXPECT_MINUS_ONE(ci_set_ad_integration_point(h, 1, 10));
    EXPECT_MINUS_ONE(ci_get_ad_integration_point(h, 1, &value));
    EXPECT_MINUS_ONE(ci_enable_channel(h, 1));
    EXPECT_MINUS_ONE(ci_disable_channel(h, 1));
    EXPECT_MINUS_ONE(ci_is_channel_enabled(h, 1, &flag));
    EXPECT_MINUS_ONE(ci_enable_all_channels(h));
    EXPECT_MINUS_ONE(ci_disable_all_channels(h));
    EXPECT_MINUS_ONE(ci_set_tdc_clock_source(h, CI_TDC_CLOCK_INTERNAL));
    EXPECT_MINUS_ONE(ci_get_tdc_clock_source(h, &value));
    EXPECT_MINUS_ONE(ci_set_data_mode(h, 0));
    EXPECT_MINUS_ONE(ci_get_data_mode(h, &value));
    EXPECT_MINUS_ONE(ci_set_test_mode(h, 0));
    EXPECT_MINUS_ONE(ci_get_test_mode(h, &value));
    EXPECT_MINUS_ONE(ci_set_test_data_bandwidth(h, 1));
    EXPECT_MINUS_ONE(ci_get_test_data_bandwidth(h, &value));
    EXPECT_MINUS_ONE(ci_set_board_id(h, 1));
    EXPECT_MINUS_ONE(ci_get_board_id(h));
    EXPECT_MINUS_ONE(ci_set_coins_time_window(h, 1000));
    EXPECT_MINUS_ONE(ci_get_coins_time_window(h, &value));
    EXPECT_MINUS_ONE(ci_set_ad_area_scale(h, 1));
    EXPECT_MINUS_ONE(ci_get_ad_area_scale(h, &value));
    EXPECT_MINUS_ONE(ci_set_acq_type(h, 0));
    EXPECT_MINUS_ONE(ci_get_acq_type(h, &value));
    EXPECT_MINUS_ONE(ci_set_output_gate_type(h, 0));
    EXPECT_MINUS_ONE(ci_get_output_gate_type(h, &value));
    EXPECT_MINUS_ONE(ci_set_gate_delay(h, 0));
    EXPECT_MINUS_ONE(ci_get_gate_delay(h, &value));
    EXPECT_MINUS_ONE(ci_tdc_resetn(h));
    EXPECT_MINUS_ONE(ci_system_resetn(h));
    EXPECT_MINUS_ONE(ci_reset_state(h));
    EXPECT_MINUS_ONE(ci_self_check(h));

    /* Devices, status, identity and network settings. */
    EXPECT_MINUS_ONE(ci_get_devices(h, devices, 2));
    EXPECT_MINUS_ONE(ci_get_devices(h, NULL, 0));
    EXPECT_MINUS_ONE(ci_get_device_num(h));
    EXPECT_MINUS_ONE(ci_get_device(h, 0, &value, text, (int)sizeof text));
    EXPECT_MINUS_ONE(ci_get_device_status(h, &status));
    EXPECT_MINUS_ONE(ci_get_device_temp(h, &value));
    EXPECT_MINUS_ONE(ci_get_fan_speed(h));
    EXPECT_MINUS_ONE(ci_get_device_model(h));
    EXPECT_MINUS_ONE(ci_get_device_type(h));
    EXPECT_MINUS_ONE(ci_get_channel_num(h));
    EXPECT_MINUS_ONE(ci_get_fw_version(h, text, (int)sizeof text));
    EXPECT_MINUS_ONE(ci_get_product_sn(h, text, (int)sizeof text));
    EXPECT_MINUS_ONE(ci_set_ips(h, "192.0.2.1", "192.0.2.2"));
    EXPECT_MINUS_ONE(ci_get_ips(h, text, (int)sizeof text, second_text, (int)sizeof second_text));
    EXPECT_MINUS_ONE(ci_set_wips(h, "192.0.2.1", "192.0.2.2"));
    EXPECT_MINUS_ONE(ci_get_wips(h, text, (int)sizeof text, second_text, (int)sizeof second_text));
    EXPECT_MINUS_ONE(ci_set_net_ports(h, 5000, 5001));
    EXPECT_MINUS_ONE(ci_get_net_ports(h, &value, &second_value));
    EXPECT_MINUS_ONE(ci_set_wnet_ports(h, 5000, 5001));
    EXPECT_MINUS_ONE(ci_get_wnet_ports(h, &value, &second_value));
    EXPECT_MINUS_ONE(ci_set_mac(h, "02:00:00:00:00:01"));
    EXPECT_MINUS_ONE(ci_get_mac(h, text, (int)sizeof text));
    EXPECT_MINUS_ONE(ci_set_wmac(h, "02:00:00:00:00:01"));
    EXPECT_MINUS_ONE(ci_get_wmac(h, text, (int)sizeof text));

    /* Count rates, raw acquisition and hex conversion. */
    EXPECT_MINUS_ONE(ci_get_single_cps(h, 1));
    EXPECT_MINUS_ONE(ci_get_coins_cps(h, 1));
    EXPECT_MINUS_ONE(ci_output_single_cps(h, 1, NULL, NULL));
    EXPECT_MINUS_ONE(ci_output_coins_cps(h, 1, NULL, NULL));
    EXPECT_MINUS_ONE(ci_stop_singlecps_recording(h));
    EXPECT_MINUS_ONE(ci_stop_coinscps_recording(h));
    EXPECT_MINUS_ONE(ci_acq_rawdata(h, 0, 1, NULL, NULL, 0, 0));
    EXPECT_EMPTY_FETCH(ci_fetch_rawdata(h, &count, 0));
    EXPECT_MINUS_ONE(ci_stop_acq(h));
    EXPECT_MINUS_ONE(ci_wait_data_ready(h, 0));
    EXPECT_MINUS_ONE(ci_is_rawdata_processing(h, &flag));
    EXPECT_MINUS_ONE(ci_set_acq_dataformat(h, 0));
    EXPECT_MINUS_ONE(ci_get_acq_dataformat(h));
    EXPECT_MINUS_ONE(ci_acq_rawdata_local(h, 0, 1, NULL, "run.bin", 0, 0));
    EXPECT_MINUS_ONE(ci_convert_to_hex(h, "raw.bin", "raw.dat"));
    EXPECT_MINUS_ONE(ci_convert_to_hex_local(h, "raw.bin", "raw.dat"));

    /* Analyses: the common stops and fetches. */
    EXPECT_MINUS_ONE(ci_stop_tof_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_ad_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_tot_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_es_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_conform_es_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_period_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_startstop_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_ncoins_analysis(h));
    EXPECT_MINUS_ONE(ci_stop_autocorrelation_analysis(h));
    EXPECT_EMPTY_FETCH(ci_fetch_tof_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_tot_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_es_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_conform_es_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_period_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_period_rawdata(h, &count, 0));
    EXPECT_EMPTY_FETCH(ci_fetch_ad_rawdata(h, &count, 0));
    EXPECT_MINUS_ONE(ci_clear_analysis_data(h));
    EXPECT_MINUS_ONE(ci_is_ncoins_analysis_processing(h, &flag));

    /* Time of flight, start-stop and n-fold coincidences. */
    EXPECT_MINUS_ONE(ci_tof_analysis(h, 1, 1, 2, 1000, 0, 1, NULL, NULL));
    EXPECT_MINUS_ONE(ci_set_cross_correlation_config(h, 1, 100, 0, 0));
    EXPECT_EMPTY_FETCH(ci_fetch_cross_correlation_data(h, &count));
    EXPECT_MINUS_ONE(ci_startstop_analysis(h, 1, groups, 1, dual_groups, 1, 1000, 0, NULL, NULL));
    EXPECT_MINUS_ONE(ci_startstop_analysis_json(h, 1, "{\"1\":[2,3]}", "{}", 1000, 0, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_startstop_processdata(h, 1, 2, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_startstop_average_processdata(h, 1, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_startstop_dualstops_rawdata(h, 1, &count, 0));
    EXPECT_MINUS_ONE(ci_ncoins_analysis(h, 1, strategies, 1, 0, NULL, NULL));
    EXPECT_MINUS_ONE(ci_ncoins_analysis_json(h, 1, "[{\"strategy_name\":\"AB\",\"channels\":[1,2],\"virtual_twin\":1}]", 0, NULL, NULL));
    EXPECT_MINUS_ONE(ci_apply_ncoins_strategies(h, strategies, 1));
    EXPECT_MINUS_ONE(ci_apply_ncoins_strategies_json(h, "[]"));
    EXPECT_MINUS_ONE(ci_get_ncoins_cps(h, 0));
    EXPECT_EMPTY_FETCH(ci_fetch_ncoins_cps(h, 0, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_ncoins_rawdata(h, 0, &count, 0));

    /* Period, autocorrelation and time-tag records. */
    EXPECT_MINUS_ONE(ci_period_analysis(h, 1, 2, 3, 1, 100, 1.0e7, 100, 10, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_period_stability_metric(h, 0, &count));
    EXPECT_MINUS_ONE(ci_autocorrelation_analysis(h, 1, 1, 0.0, 1.0e-6, 100, 0, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_autocorrelation_data(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_t2_data(h, &count, 0));
    EXPECT_EMPTY_FETCH(ci_fetch_t3_data(h, &count, 0));

    /* Time over threshold, energy spectra and A/D sampling. */
    EXPECT_MINUS_ONE(ci_tot_analysis(h, 1, 1, 0, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_tot_data(h, &count, 0));
    EXPECT_MINUS_ONE(ci_es_analysis(h, 1, 1, 10, 1, 0, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_es_data(h, &count, 0));
    EXPECT_MINUS_ONE(ci_conform_es_analysis(h, 1, 1, 3, 10, 1, 0, 100, 0, 100, 1000, 1, NULL, NULL));
    EXPECT_EMPTY_FETCH(ci_fetch_conform_es_area1_processdata(h, &count));
    EXPECT_EMPTY_FETCH(ci_fetch_conform_es_area2_processdata(h, &count));
    EXPECT_MINUS_ONE(ci_ad_analysis(h, 1, 1, 10, 100, 10, NULL, NULL));

    /* Not one output was written. */
    expect_int("int outputs untouched", value, SENTINEL_INT);
    expect_int("second int outputs untouched", second_value, SENTINEL_INT);
    expect_int("double output untouched", real == SENTINEL_DOUBLE, 1);
    expect_int("bool outputs untouched", flag, 1);
    expect_text("text outputs untouched", text, SENTINEL_TEXT);
    expect_text("second text outputs untouched", second_text, SENTINEL_TEXT);
    expect_int("device list untouched", memcmp(devices, untouched_devices, sizeof devices), 0);
    expect_int("device status untouched", memcmp(&status, &untouched_status, sizeof status), 0);
}

static void check_handle_free_functions(void) {
    char version[16];
    char small[4];
    const char bytes[5] = {'a', 'b', 'c', 'd', 'e'};
    char byte_copy[5] = {0};
    const int64_t wide[4] = {INT64_MIN, INT64_MAX, -1, 0x123456789LL};
    int64_t wide_copy[4] = {0};
    const double reals[4] = {0.1, -2.5, 1.0, 0.0};
    double real_copy[4] = {0.0};
    char text[128];

    memset(version, 'x', sizeof version);
    expect_int("ci_get_sw_version result", ci_get_sw_version(0, version, (int)sizeof version), 0);
    expect_text("ci_get_sw_version text", version, "V" VELTRANO_EXPECTED_VERSION);
    /* The handle is ignored, whatever its upper half holds. */
    expect_int("ci_get_sw_version with a wide handle", ci_get_sw_version(UINT64_MAX, small, (int)sizeof small), 0);
    expect_text("ci_get_sw_version cut", small, "V1.");

    ci_copy_data(byte_copy, bytes, 5);
    expect_int("ci_copy_data", memcmp(byte_copy, bytes, 5), 0);
    ci_copy_int64_data(wide_copy, wide, 4);
    expect_int("ci_copy_int64_data", memcmp(wide_copy, wide, sizeof wide), 0);
    ci_copy_double_data(real_copy, reals, 4);
    expect_int("ci_copy_double_data", memcmp(real_copy, reals, sizeof reals), 0);
    ci_copy_int64_data(NULL, wide, 4);
    ci_copy_double_data(real_copy, NULL, 4);
    ci_copy_data(byte_copy, bytes, -1);

    /* Arrays handed to the caller are released with the C allocator. */
    ci_free_int64_data(malloc(4 * sizeof(int64_t)));
    ci_free_char_data(malloc(16));
    ci_free_int64_data(NULL);
    ci_free_char_data(NULL);

    /* 64-bit values keep all their digits in both builds. */
    expect_int("ci_int64_array_to_string length",
               ci_int64_array_to_string(text, (int)sizeof text, wide, 2, 2), 55);
    expect_text("ci_int64_array_to_string", text, "-9223372036854775808,9223372036854775807\n-1,4886718345\n");
    expect_int("ci_int64_pairs_to_string length", ci_int64_pairs_to_string(text, (int)sizeof text, wide, 2), 55);
    expect_text("ci_int64_pairs_to_string", text, "-9223372036854775808,9223372036854775807\n-1,4886718345\n");
    expect_int("ci_double_pairs_to_string length", ci_double_pairs_to_string(text, (int)sizeof text, reals, 2), 29);
    expect_text("ci_double_pairs_to_string", text, "0.10000000000000001,-2.5\n1,0\n");
    expect_int("ci_int64_pairs_to_string too small", ci_int64_pairs_to_string(small, (int)sizeof small, wide, 2), -2);
    expect_text("ci_int64_pairs_to_string too small text", small, "");

    /* Size queries whose products pass 2^32 must fail rather than wrap. */
    expect_int("ci_int64_array_to_string size", ci_int64_array_to_string(NULL, 0, wide, 2, 2), 85);
    expect_int("ci_int64_pairs_to_string size", ci_int64_pairs_to_string(NULL, 0, wide, 2), 85);
    expect_int("ci_double_pairs_to_string size", ci_double_pairs_to_string(NULL, 0, reals, 2), 161);
    expect_int("ci_int64_array_to_string huge size", ci_int64_array_to_string(NULL, 0, wide, 300000, 1000), -1);
    expect_int("ci_int64_pairs_to_string huge size", ci_int64_pairs_to_string(NULL, 0, wide, 110000000), -1);
    expect_int("ci_double_pairs_to_string huge size", ci_double_pairs_to_string(NULL, 0, reals, 60000000), -1);
}

int main(void) {
    /* Handles the process has not issued: 0, an unused number, and 1 + 2^32,
     * which a build that cut handles to 32 bits would take for handle 1. */
    const uint64_t unknown_handles[3] = {0, 999, 0x100000001ULL};
    size_t i;

    check_handle_free_functions();
    for (i = 0; i < sizeof unknown_handles / sizeof unknown_handles[0]; ++i) {
        check_unknown_handle(unknown_handles[i]);
    }

    /* A missing configuration file fails without a handle; cleanup with no
     * session does nothing. */
    expect_int("ci_create without a file", (long long)ci_create("no-such-file.ini", NULL), 0);
    ci_cleanup();

    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("all %d-bit exports callable from C\n", (int)(sizeof(void*) * 8));
    return 0;
}
