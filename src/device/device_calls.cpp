#include "device/device_calls.h"

#include "net/call_kinds.h"
#include "net/command_request.h"

namespace vel::device {

int sendCommand(uint64_t handle, const char* command) noexcept {
    return guarded([&] { return callPlain(handle, commandRequest(command)); });
}

int sendValue(uint64_t handle, const char* command, int value) noexcept {
    return guarded([&] { return callPlain(handle, withMembers(command, "value", value)); });
}

int sendChannelCommand(uint64_t handle, const char* command, int channel) noexcept {
    return guarded([&] { return callPlain(handle, withMembers(command, "channel", channel)); });
}

int sendChannelValue(uint64_t handle, const char* command, int channel, int value) noexcept {
    return guarded(
        [&] { return callPlain(handle, withMembers(command, "channel", channel, "value", value)); });
}

int readI32(uint64_t handle, const char* command, int* value) noexcept {
    return guarded([&] { return callWithI32Value(handle, commandRequest(command), value); });
}

int readChannelI32(uint64_t handle, const char* command, int channel, int* value) noexcept {
    return guarded([&] { return callWithI32Value(handle, withMembers(command, "channel", channel), value); });
}

int readReturnedInt(uint64_t handle, const char* command) noexcept {
    return guarded([&] { return callReturningInt(handle, commandRequest(command)); });
}

int readText(uint64_t handle, const char* command, char* buffer, int capacity) noexcept {
    return guarded([&] { return callWithStringValue(handle, commandRequest(command), buffer, capacity); });
}

}  // namespace vel::device
