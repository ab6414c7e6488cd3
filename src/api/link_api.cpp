// The service's own link to the instrument: ci_connect and ci_disconnect.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "net/call_kinds.h"

extern "C" {

CI_API int ci_connect(uint64_t handle, int deviceType) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "connect"}, {"device_type", deviceType}});
    });
}

CI_API int ci_disconnect(uint64_t handle) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "disconnect"}});
    });
}

}  // extern "C"
