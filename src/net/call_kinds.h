#pragma once
// The call kinds every command function rests on, and the one exchange every
// request of the library goes through. Each call kind exchanges the prebuilt
// request on the session's connection, fills the kind's outputs
// from the reply's "data" (whatever "result" says) and returns "result".
//
// Returns -1 for a session without connection (not logged), a reply without a readable "result", or any failure of the
// exchange or of reading the reply; the last is logged as "<kind text> exception: <what>" or "<kind text> unknown
// exception" in the session's log. Output pointers may be null: nothing is stored then. Text outputs follow the
// text-copy rule.

#include "net/command_response.h"
#include "net/frame.h"

#include <nlohmann/json.hpp>

namespace vel {

class SessionContext;

// Status only.
int callPlain(const SessionContext& session, const nlohmann::json& request);

// A bare number, or {"status":0,"value":n}; 0 is stored for an invalid status
// or an unreadable value. Floating-point numbers are truncated toward zero.
int callWithI32Value(const SessionContext& session, const nlohmann::json& request, int* value);
int callWithF64Value(const SessionContext& session, const nlohmann::json& request, double* value);

// A bare JSON boolean, or {"status":0,"value":b}; anything else stores false.
int callWithBoolValue(const SessionContext& session, const nlohmann::json& request, bool* value);

// A bare string, or {"status":0,"value":"..."}; otherwise the buffer is untouched.
int callWithStringValue(const SessionContext& session, const nlohmann::json& request, char* buffer, int capacity);

// {"status":0,"local_ip":"...","device_ip":"..."}; otherwise both untouched.
int callWithIpValue(const SessionContext& session, const nlohmann::json& request, char* localIp, int localCapacity,
                    char* deviceIp, int deviceCapacity);

// {"status":0,"device_mac":"..."}; otherwise untouched.
int callWithMacValue(const SessionContext& session, const nlohmann::json& request, char* mac, int capacity);

// {"status":0,"local_port":n,"device_port":m}; otherwise untouched.
int callWithNetportValue(const SessionContext& session, const nlohmann::json& request, int* localPort, int* devicePort);

// The value itself: "data" bare, or "value" of a data object whose "status" is
// 0. -1 when "result" is missing or -1, "data" is missing, the status is not 0,
// or the call fails.
int callReturningInt(const SessionContext& session, const nlohmann::json& request);

// One exchange on a session's connection, for features that read their
// replies themselves; with a payload reader, a binary frame's payload goes to
// it. Throws "Socket not connected" when the session has no connection, and
// every error of the exchange.
CommandResponse exchange(const SessionContext& session, const nlohmann::json& request);
CommandResponse exchange(const SessionContext& session, const nlohmann::json& request,
                         frame::PayloadReader& payloadReader);

}  // namespace vel
