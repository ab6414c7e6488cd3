#pragma once
// The call kinds every command function rests on. Each looks the session up,
// exchanges the prebuilt request on its connection, fills the kind's outputs
// from the reply's "data" (whatever "result" says) and returns "result".
//
// Returns -1 for an unknown handle or a session without connection (not
// logged), a reply without a readable "result", or any failure of the exchange
// or of reading the reply; the last is logged as "<kind text> exception: <what>"
// or "<kind text> unknown exception" for the call's handle. Output pointers may
// be null: nothing is stored then. Text outputs follow the text-copy rule.

#include "net/command_response.h"

#include <nlohmann/json.hpp>

#include <cstdint>

class InstInstance;

namespace vel {

// Status only.
int callPlain(uint64_t handle, const nlohmann::json& request);

// A bare number, or {"status":0,"value":n}; 0 is stored for an invalid status
// or an unreadable value. Floating-point numbers are truncated toward zero.
int callWithI32Value(uint64_t handle, const nlohmann::json& request, int* value);
int callWithF64Value(uint64_t handle, const nlohmann::json& request, double* value);

// A bare JSON boolean, or {"status":0,"value":b}; anything else stores false.
int callWithBoolValue(uint64_t handle, const nlohmann::json& request, bool* value);

// A bare string, or {"status":0,"value":"..."}; otherwise the buffer is untouched.
int callWithStringValue(uint64_t handle, const nlohmann::json& request, char* buffer, int capacity);

// {"status":0,"local_ip":"...","device_ip":"..."}; otherwise both untouched.
int callWithIpValue(uint64_t handle, const nlohmann::json& request, char* localIp, int localCapacity,
                    char* deviceIp, int deviceCapacity);

// {"status":0,"device_mac":"..."}; otherwise untouched.
int callWithMacValue(uint64_t handle, const nlohmann::json& request, char* mac, int capacity);

// {"status":0,"local_port":n,"device_port":m}; otherwise untouched.
int callWithNetportValue(uint64_t handle, const nlohmann::json& request, int* localPort, int* devicePort);

// The value itself: "data" bare, or "value" of a data object whose "status" is
// 0. -1 when "result" is missing or -1, "data" is missing, the status is not 0,
// or the call fails.
int callReturningInt(uint64_t handle, const nlohmann::json& request);

// One exchange on a session's connection, for features that read binary
// replies themselves. Throws "Socket not connected" when the session has no
// open connection, and every error of the exchange.
CommandResponse exchange(InstInstance& session, const nlohmann::json& request);

}  // namespace vel
