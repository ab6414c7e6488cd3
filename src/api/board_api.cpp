// Board-wide settings and the four board actions. Setters send "value" as a
// JSON integer; getters send the command alone.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/device_calls.h"

using namespace vel::device;
using vel::SessionContext;
using vel::withConnection;

extern "C" {

CI_API int ci_set_tdc_clock_source(uint64_t handle, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendValue(session, "set_tdcclocksource", value); });
}

CI_API int ci_get_tdc_clock_source(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_tdcclocksource", value); });
}

CI_API int ci_set_data_mode(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_datamode", value); });
}

CI_API int ci_get_data_mode(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_datamode", value); });
}

CI_API int ci_set_test_mode(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_testmode", value); });
}

CI_API int ci_get_test_mode(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_testmode", value); });
}

CI_API int ci_set_test_data_bandwidth(uint64_t handle, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendValue(session, "set_databandwidth", value); });
}

CI_API int ci_get_test_data_bandwidth(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_databandwidth", value); });
}

CI_API int ci_set_board_id(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_boardid", value); });
}

CI_API int ci_get_board_id(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readReturnedInt(session, "get_boardid"); });
}

CI_API int ci_set_coins_time_window(uint64_t handle, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendValue(session, "set_coinstimewindow", value); });
}

CI_API int ci_get_coins_time_window(uint64_t handle, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readI32(session, "get_coinstimewindow", value); });
}

CI_API int ci_set_ad_area_scale(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_adareascale", value); });
}

CI_API int ci_get_ad_area_scale(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_adareascale", value); });
}

CI_API int ci_set_acq_type(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_acqtype", value); });
}

CI_API int ci_get_acq_type(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_acqtype", value); });
}

CI_API int ci_set_output_gate_type(uint64_t handle, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendValue(session, "set_outputgatetype", value); });
}

CI_API int ci_get_output_gate_type(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_outputgatetype", value); });
}

CI_API int ci_set_gate_delay(uint64_t handle, int value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendValue(session, "set_gatedelay", value); });
}

CI_API int ci_get_gate_delay(uint64_t handle, int* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readI32(session, "get_gatedelay", value); });
}

CI_API int ci_tdc_resetn(uint64_t handle) {
    return withConnection(handle, [&](const SessionContext& session) { return sendCommand(session, "tdc_resetn"); });
}

CI_API int ci_system_resetn(uint64_t handle) {
    return withConnection(handle, [&](const SessionContext& session) { return sendCommand(session, "system_resetn"); });
}

CI_API int ci_reset_state(uint64_t handle) {
    return withConnection(handle, [&](const SessionContext& session) { return sendCommand(session, "reset_state"); });
}

CI_API int ci_self_check(uint64_t handle) {
    return withConnection(handle, [&](const SessionContext& session) { return sendCommand(session, "self_check"); });
}

}  // extern "C"
