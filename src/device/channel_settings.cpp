// Per-channel settings: threshold DAC, termination, hysteresis, inter delay,
// dead time, edge type, A/D integration point and channel enabling. The
// library only carries the values; the service checks channel and value.

#include <veltranoapi/veltranoapi.h>

#include "device/device_calls.h"
#include "net/call_kinds.h"
#include "net/command_request.h"

using namespace vel::device;

extern "C" {

CI_API int ci_set_dac(uint64_t handle, int channel, double value) {
    // The threshold is the one channel value that travels as a JSON double.
    return guarded([&] {
        return vel::callPlain(handle, vel::withMembers("set_dac", "channel", channel, "value", value));
    });
}

CI_API int ci_get_dac(uint64_t handle, int channel, double* value) {
    return guarded(
        [&] { return vel::callWithF64Value(handle, vel::withMembers("get_dac", "channel", channel), value); });
}

CI_API int ci_set_termination(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_term", channel, value);
}

CI_API int ci_get_termination(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_term", channel, value);
}

CI_API int ci_set_hysteresis(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_hts", channel, value);
}

CI_API int ci_get_hysteresis(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_hts", channel, value);
}

CI_API int ci_set_inter_delay(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_interdelay", channel, value);
}

CI_API int ci_get_inter_delay(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_interdelay", channel, value);
}

CI_API int ci_set_dead_time(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_deadtime", channel, value);
}

CI_API int ci_get_dead_time(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_deadtime", channel, value);
}

CI_API int ci_set_edge_type(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_edgetype", channel, value);
}

CI_API int ci_get_edge_type(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_edgetype", channel, value);
}

CI_API int ci_set_ad_integration_point(uint64_t handle, int channel, int value) {
    return sendChannelValue(handle, "set_adp", channel, value);
}

CI_API int ci_get_ad_integration_point(uint64_t handle, int channel, int* value) {
    return readChannelI32(handle, "get_adp", channel, value);
}

CI_API int ci_enable_channel(uint64_t handle, int channel) {
    return sendChannelCommand(handle, "enable_channel", channel);
}

CI_API int ci_disable_channel(uint64_t handle, int channel) {
    return sendChannelCommand(handle, "disable_channel", channel);
}

CI_API int ci_is_channel_enabled(uint64_t handle, int channel, bool* enabled) {
    return guarded([&] {
        return vel::callWithBoolValue(handle, {{"cmd", "is_channel_enabled"}, {"channel", channel}}, enabled);
    });
}

CI_API int ci_enable_all_channels(uint64_t handle) {
    return sendCommand(handle, "enable_all_channels");
}

CI_API int ci_disable_all_channels(uint64_t handle) {
    return sendCommand(handle, "disable_all_channels");
}

}  // extern "C"
