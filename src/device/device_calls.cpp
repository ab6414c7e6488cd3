#include "device/device_calls.h"

#include "net/call_kinds.h"
#include "net/command_request.h"

namespace vel::device {

int sendCommand(const SessionContext& session, const char* command) {
    return callPlain(session, commandRequest(command));
}

int sendValue(const SessionContext& session, const char* command, int value) {
    return callPlain(session, withMembers(command, "value", value));
}

int sendChannelCommand(const SessionContext& session, const char* command, int channel) {
    return callPlain(session, withMembers(command, "channel", channel));
}

int sendChannelValue(const SessionContext& session, const char* command, int channel, int value) {
    return callPlain(session, withMembers(command, "channel", channel, "value", value));
}

int readI32(const SessionContext& session, const char* command, int* value) {
    return callWithI32Value(session, commandRequest(command), value);
}

int readChannelI32(const SessionContext& session, const char* command, int channel, int* value) {
    return callWithI32Value(session, withMembers(command, "channel", channel), value);
}

int readReturnedInt(const SessionContext& session, const char* command) {
    return callReturningInt(session, commandRequest(command));
}

int readText(const SessionContext& session, const char* command, char* buffer, int capacity) {
    return callWithStringValue(session, commandRequest(command), buffer, capacity);
}

int setThreshold(const SessionContext& session, int channel, double value) {
    return callPlain(session, withMembers("set_dac", "channel", channel, "value", value));
}

int readThreshold(const SessionContext& session, int channel, double* value) {
    return callWithF64Value(session, withMembers("get_dac", "channel", channel), value);
}

int readChannelEnabled(const SessionContext& session, int channel, bool* enabled) {
    return callWithBoolValue(session, withMembers("is_channel_enabled", "channel", channel), enabled);
}

}  // namespace vel::device
