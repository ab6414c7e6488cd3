// Raw-to-hex conversion: by the service on its own files (ci_convert_to_hex)
// or by the library on the caller's files (ci_convert_to_hex_local).

#include <veltranoapi/veltranoapi.h>

#include "acq/nbin_file_converter.h"
#include "api/export_boundary.h"
#include "api/session_log.h"
#include "net/call_kinds.h"

#include <string>

namespace {

constexpr const char* kEmptyBinFileMessage = "Empty bin file name specified";

bool isEmptyText(const char* text) {
    return text == nullptr || text[0] == '\0';
}

std::string textOrEmpty(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace

extern "C" {

CI_API int ci_convert_to_hex(uint64_t handle, const char* binFile, const char* hexFile) {
    if (isEmptyText(binFile)) {
        vel::logError(handle, kEmptyBinFileMessage);
        return -1;
    }
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(
            session,
            {{"cmd", "convert_to_hex"}, {"bin_file", std::string(binFile)}, {"hex_file", textOrEmpty(hexFile)}});
    });
}

CI_API int ci_convert_to_hex_local(uint64_t handle, const char* binFile, const char* hexFile) {
    if (isEmptyText(binFile)) {
        vel::logError(handle, kEmptyBinFileMessage);
        return -1;
    }
    return vel::withSession(handle, -1, "Convert to hex local", [&](InstInstance& session) {
        NBinFileConverter converter(binFile, textOrEmpty(hexFile), session.context.baseDir);
        return converter.convert() ? 0 : -1;
    });
}

}  // extern "C"
