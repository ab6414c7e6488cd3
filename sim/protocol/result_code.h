#pragma once

#include "sim/model/common/model_error.h"

namespace veltrano::sim {

// The "result" codes the simulator answers with (documented in sim/README.md).
// -1 is never sent: the library reads it as its own failure.
enum class ResultCode : int {
    Ok = 0,
    UnknownCommand = 1,
    MalformedRequest = 2,   // not JSON, not an object, no string "cmd", line too long
    BadParameter = 3,       // a request key is missing or has the wrong JSON type
    ChannelOutOfRange = 4,
    ValueOutOfRange = 5,
    UnknownDeviceType = 6,
    InvalidFormat = 7,      // IP or MAC address not in the accepted form
    WrongState = 8,         // the command does not fit what the instrument is doing
    SelfCheckFailed = 9,
    InternalError = 10,
    FileError = 11,         // a service-side file or folder cannot be read, created or written
    TimedOut = 12,          // "wait_data_ready": nothing became ready in time
};

constexpr int toInt(ResultCode code) { return static_cast<int>(code); }

ResultCode resultFor(ModelError error);

}  // namespace veltrano::sim
