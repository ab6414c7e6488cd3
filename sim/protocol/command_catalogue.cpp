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
    return table;
}

}  // namespace veltrano::sim
