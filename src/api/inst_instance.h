#pragma once
// One session: the connection to the instrument service and the session's base
// directory. Measurement features add their own state as further members;
// members are destroyed in reverse order, so the connection goes last.

#include "acq/acquisition_state.h"
#include "analysis/analysis_state.h"
#include "acq/count_rate_recording.h"
#include "net/tcp_client.h"

#include <memory>
#include <string>

class InstInstance : public std::enable_shared_from_this<InstInstance> {
public:
    InstInstance() = default;
    InstInstance(const InstInstance&) = delete;
    InstInstance& operator=(const InstInstance&) = delete;

    // Set once by ci_create before the session is registered; never replaced.
    std::unique_ptr<TcpClient> connection;
    // Absolute UTF-8 directory: the log folder and relative output paths hang off it.
    std::string baseDir;
    vel::CountRateRecordingState countRates;
    vel::AcquisitionState acquisition;
    vel::AnalysisState analysis;
};
