// Saving one processed-data point list into its CSV file.

#include "analysis/analysis_control.h"
#include "analysis/point_csv.h"
#include "analysis/point_list_fetch.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <string>

namespace vel::analysis {

int saveProcessData(const SessionContext& session, const std::string& path, const char* command, int metricType,
                    int startChan, int stopChan) {
    if (!command || !*command) {
        return -1;
    }
    return guardOperation(session, -1, "Save analysis process data", [&]() {
        if (path.empty()) {
            return 0;  // no file was asked for: nothing is fetched
        }
        if (!session.connection) {
            return -1;
        }
        const nlohmann::json request = {{"cmd", command},
                                        {"stability_metric_type", metricType},
                                        {"start_chan", startChan},
                                        {"stop_chan", stopChan}};
        PointList points;
        if (!fetchPointList(session, request, "Fetch process data failed", points)) {
            return -1;
        }
        if (!appendPointsToCsvFile(path, points)) {
            session.logError("Failed to open process data file for writing: " + path);
            return -1;
        }
        return 0;
    });
}

}  // namespace vel::analysis
