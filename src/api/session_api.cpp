// Session life cycle: ci_create, ci_destroy, ci_cleanup.

#include <veltranoapi/veltranoapi.h>

#include "api/service_config.h"
#include "analysis/stop_timer.h"
#include "api/session_registry.h"
#include "core/io_utils.h"
#include "core/nlogger.h"
#include "core/string_utils.h"

#include <memory>
#include <optional>

namespace {

// Disconnects a removed session and ends its analysis stop timer if it still
// waits (it would find no session anyway); a timer that is stopping its run
// right now finishes first.
void closeSession(const vel::SessionPtr& session) {
    if (!session) {
        return;
    }
    if (session->connection) {
        session->connection->disconnect();
    }
    vel::analysis::endStopTimer(session->analysis);
}

}  // namespace

extern "C" {

CI_API uint64_t ci_create(const char* configPath, const char* baseDirText) {
    try {
        const std::string configText = ksq::CStringUtils::safe_string(configPath);
        const std::string baseText = ksq::CStringUtils::safe_string(baseDirText);

        const std::string resolvedConfig = ksq::CIOUtils::resolveBasePath(configText, baseText);
        const auto address = vel::readServiceConfig(resolvedConfig);
        if (!address) {
            if (auto logger = NLogger::getLogger(baseText, NLogger::kMaxFileSize, NLogger::kMaxFiles)) {
                logger->info("Load config file failed");
            }
            return 0;
        }

        auto session = InstInstance::create();
        session->attachConnection(std::make_unique<TcpClient>(address->host, address->port));
        if (!session->connection->connect()) {
            return 0;
        }
        session->context.baseDir =
            ksq::CIOUtils::toUtf8String(ksq::CIOUtils::getBaseDirP(ksq::CIOUtils::fromUtf8String(baseText)));
        return vel::SessionRegistry::add(std::move(session));
    } catch (...) {
        return 0;  // whatever failed, no session was registered
    }
}

CI_API void ci_destroy(uint64_t handle) {
    try {
        vel::SessionPtr session = vel::SessionRegistry::remove(handle);
        // Outside the registry lock: closing waits for a running exchange.
        closeSession(session);
    } catch (...) {
        // ci_destroy has no result; the session is removed whatever follows.
    }
}

CI_API void ci_cleanup(void) {
    try {
        const std::vector<vel::SessionPtr> sessions = vel::SessionRegistry::removeAll();
        for (const auto& session : sessions) {
            closeSession(session);
        }
    } catch (...) {
        // ci_cleanup has no result; every session is removed whatever follows.
    }
}

}  // extern "C"
