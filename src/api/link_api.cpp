// The service's own link to the instrument: ci_connect and ci_disconnect.

#include <veltranoapi/veltranoapi.h>

#include "net/call_kinds.h"

extern "C" {

CI_API int ci_connect(uint64_t handle, int device_type) {
    return vel::callPlain(handle, {{"cmd", "connect"}, {"device_type", device_type}});
}

CI_API int ci_disconnect(uint64_t handle) {
    return vel::callPlain(handle, {{"cmd", "disconnect"}});
}

}  // extern "C"
