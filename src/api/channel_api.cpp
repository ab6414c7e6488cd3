// Per-channel settings: threshold DAC, termination, hysteresis, inter delay,
// dead time, edge type, A/D integration point and channel enabling. The
// library only carries the values; the service checks channel and value.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/device_calls.h"

using namespace vel::device;
using vel::SessionContext;
using vel::withConnection;

extern "C" {

CI_API int ci_set_dac(uint64_t handle, int channel, double value) {
    return withConnection(handle, [&](const SessionContext& session) { return setThreshold(session, channel, value); });
}

CI_API int ci_get_dac(uint64_t handle, int channel, double* value) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readThreshold(session, channel, value); });
}

CI_API int ci_set_termination(uint64_t handle, int channel, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendChannelValue(session, "set_term", channel, value); });
}

CI_API int ci_get_termination(uint64_t handle, int channel, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readChannelI32(session, "get_term", channel, value); });
}

CI_API int ci_set_hysteresis(uint64_t handle, int channel, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendChannelValue(session, "set_hts", channel, value); });
}

CI_API int ci_get_hysteresis(uint64_t handle, int channel, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readChannelI32(session, "get_hts", channel, value); });
}

CI_API int ci_set_inter_delay(uint64_t handle, int channel, int value) {
    return withConnection(handle, [&](const SessionContext& session) {
        return sendChannelValue(session, "set_interdelay", channel, value);
    });
}

CI_API int ci_get_inter_delay(uint64_t handle, int channel, int* value) {
    return withConnection(handle, [&](const SessionContext& session) {
        return readChannelI32(session, "get_interdelay", channel, value);
    });
}

CI_API int ci_set_dead_time(uint64_t handle, int channel, int value) {
    return withConnection(handle, [&](const SessionContext& session) {
        return sendChannelValue(session, "set_deadtime", channel, value);
    });
}

CI_API int ci_get_dead_time(uint64_t handle, int channel, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readChannelI32(session, "get_deadtime", channel, value); });
}

CI_API int ci_set_edge_type(uint64_t handle, int channel, int value) {
    return withConnection(handle, [&](const SessionContext& session) {
        return sendChannelValue(session, "set_edgetype", channel, value);
    });
}

CI_API int ci_get_edge_type(uint64_t handle, int channel, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readChannelI32(session, "get_edgetype", channel, value); });
}

CI_API int ci_set_ad_integration_point(uint64_t handle, int channel, int value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendChannelValue(session, "set_adp", channel, value); });
}

CI_API int ci_get_ad_integration_point(uint64_t handle, int channel, int* value) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readChannelI32(session, "get_adp", channel, value); });
}

CI_API int ci_enable_channel(uint64_t handle, int channel) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendChannelCommand(session, "enable_channel", channel); });
}

CI_API int ci_disable_channel(uint64_t handle, int channel) {
    return withConnection(
        handle, [&](const SessionContext& session) { return sendChannelCommand(session, "disable_channel", channel); });
}

CI_API int ci_is_channel_enabled(uint64_t handle, int channel, bool* enabled) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readChannelEnabled(session, channel, enabled); });
}

CI_API int ci_enable_all_channels(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendCommand(session, "enable_all_channels"); });
}

CI_API int ci_disable_all_channels(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return sendCommand(session, "disable_all_channels"); });
}

}  // extern "C"
