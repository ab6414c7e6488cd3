#pragma once
// The shapes of request the device-control exports send, each built and handed
// to its call kind in one step. Building happens inside a guard, so even a
// request that cannot be built (memory exhausted) fails the export with -1
// instead of letting an exception out of it.

#include <cstdint>

namespace vel::device {

// Runs call() and turns anything it throws into -1. The call kinds catch and
// log their own failures; what is left to catch here is request building.
template <class Call>
int guarded(Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return -1;
    }
}

// {"cmd":command}, plain call.
int sendCommand(uint64_t handle, const char* command) noexcept;
// {"cmd":command,"value":value}, plain call.
int sendValue(uint64_t handle, const char* command, int value) noexcept;
// {"cmd":command,"channel":channel}, plain call.
int sendChannelCommand(uint64_t handle, const char* command, int channel) noexcept;
// {"cmd":command,"channel":channel,"value":value}, plain call.
int sendChannelValue(uint64_t handle, const char* command, int channel, int value) noexcept;

// {"cmd":command}, i32-value call into *value.
int readI32(uint64_t handle, const char* command, int* value) noexcept;
// {"cmd":command,"channel":channel}, i32-value call into *value.
int readChannelI32(uint64_t handle, const char* command, int channel, int* value) noexcept;
// {"cmd":command}, returned-int call: the value itself or -1.
int readReturnedInt(uint64_t handle, const char* command) noexcept;
// {"cmd":command}, string-value call into buffer.
int readText(uint64_t handle, const char* command, char* buffer, int capacity) noexcept;

}  // namespace vel::device
