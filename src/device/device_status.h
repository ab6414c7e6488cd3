#pragma once
// Device status: board temperature and eight supply currents, from the "data"
// object of the reply to "get_devicestatus". Both return the reply's "result"
// (-1 without a connection) and throw the errors of the exchange.

#include <veltranoapi/veltranoapi.h>

namespace vel {
class SessionContext;
}

namespace vel::device {

// The record is filled field by field in its own order; a member of unusable
// type ends the filling there (earlier fields keep their new values).
int readDeviceStatus(const SessionContext& session, DEVICE_STATUS* status);
// An unusable temperature fails the call with the exchange's exception.
int readDeviceTemperature(const SessionContext& session, int* temperature);

}  // namespace vel::device
