#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {

CommandTable makeCommandTable() {
    CommandTable table;
    registerSessionCommands(table);
    registerChannelCommands(table);
    registerBoardCommands(table);
    registerDeviceCommands(table);
    registerNetworkCommands(table);
    registerAcquisitionCommands(table);
    registerCountRateCommands(table);
    registerAnalysisCommands(table);
    registerTofCommands(table);
    registerStartStopCommands(table);
    registerNCoincidenceCommands(table);
    registerPeriodCommands(table);
    registerAutocorrelationCommands(table);
    registerTimeTagCommands(table);
    registerPulseHistogramCommands(table);
    registerConformEsCommands(table);
    registerAdCommands(table);
    return table;
}

}  // namespace veltrano::sim
