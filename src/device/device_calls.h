#pragma once
// The shapes of request the device-control exports send, each built and handed
// to its call kind in one step. The exports' boundary turns a request that
// cannot be built (memory exhausted) into -1.

namespace vel {
class SessionContext;
}

namespace vel::device {

// {"cmd":command}, plain call.
int sendCommand(const SessionContext& session, const char* command);
// {"cmd":command,"value":value}, plain call.
int sendValue(const SessionContext& session, const char* command, int value);
// {"cmd":command,"channel":channel}, plain call.
int sendChannelCommand(const SessionContext& session, const char* command, int channel);
// {"cmd":command,"channel":channel,"value":value}, plain call.
int sendChannelValue(const SessionContext& session, const char* command, int channel, int value);

// {"cmd":command}, i32-value call into *value.
int readI32(const SessionContext& session, const char* command, int* value);
// {"cmd":command,"channel":channel}, i32-value call into *value.
int readChannelI32(const SessionContext& session, const char* command, int channel, int* value);
// {"cmd":command}, returned-int call: the value itself or -1.
int readReturnedInt(const SessionContext& session, const char* command);
// {"cmd":command}, string-value call into buffer.
int readText(const SessionContext& session, const char* command, char* buffer, int capacity);

// The threshold is the one channel value that travels as a JSON double:
// "set_dac" / "get_dac" with "channel".
int setThreshold(const SessionContext& session, int channel, double value);
int readThreshold(const SessionContext& session, int channel, double* value);
// "is_channel_enabled" with "channel", bool-value call.
int readChannelEnabled(const SessionContext& session, int channel, bool* enabled);

}  // namespace vel::device
