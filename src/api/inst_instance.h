#pragma once
// One session: the connection to the instrument service, the context the
// features see of the session (handle, base directory, connection, log) and
// the features' own state. Members are destroyed in reverse order, so the
// feature state (with its worker threads) goes first and the connection last.

#include "acq/acquisition_state.h"
#include "acq/count_rate_recording.h"
#include "analysis/analysis_state.h"
#include "core/session_context.h"
#include "net/tcp_client.h"

#include <memory>

class InstInstance {
public:
    InstInstance() = default;
    InstInstance(const InstInstance&) = delete;
    InstInstance& operator=(const InstInstance&) = delete;

    // A new session whose context can share it with worker threads.
    static std::shared_ptr<InstInstance> create() {
        auto session = std::make_shared<InstInstance>();
        session->context.setOwner(std::shared_ptr<vel::SessionContext>(session, &session->context));
        return session;
    }

    // Set once by ci_create before the session is registered; never replaced.
    void attachConnection(std::unique_ptr<TcpClient> client) {
        connection = std::move(client);
        context.connection = connection.get();
    }

    std::unique_ptr<TcpClient> connection;
    vel::SessionContext context;
    vel::CountRateRecordingState countRates;
    vel::AcquisitionState acquisition;
    vel::AnalysisState analysis;
};
