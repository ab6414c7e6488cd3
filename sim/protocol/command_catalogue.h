#pragma once

#include "sim/protocol/command_table.h"

namespace veltrano::sim {

// Each subsystem's commands, registered from its own file.
void registerSessionCommands(CommandTable& table);   // connect, disconnect
void registerChannelCommands(CommandTable& table);   // per-channel settings
void registerBoardCommands(CommandTable& table);     // board settings and actions
void registerDeviceCommands(CommandTable& table);    // device list, status, identity
void registerNetworkCommands(CommandTable& table);   // both network settings sets
void registerAcquisitionCommands(CommandTable& table);  // raw acquisition, data format, hex conversion
void registerCountRateCommands(CommandTable& table);    // count rates and their recordings

// Every command the simulator answers.
CommandTable makeCommandTable();

}  // namespace veltrano::sim
