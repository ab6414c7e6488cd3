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
void registerAnalysisCommands(CommandTable& table);     // stop commands, processed data, raw points, clearing
void registerTofCommands(CommandTable& table);          // time of flight and g2 cross-correlation
void registerStartStopCommands(CommandTable& table);    // start-stop histograms and dual stops
void registerNCoincidenceCommands(CommandTable& table);  // n-fold coincidence strategies
void registerPeriodCommands(CommandTable& table);        // period analysis, raw periods, stability metrics
void registerAutocorrelationCommands(CommandTable& table);  // g2 of one channel
void registerTimeTagCommands(CommandTable& table);       // T2 and T3 record fetches
void registerPulseHistogramCommands(CommandTable& table);  // time over threshold and energy spectra, their records
void registerConformEsCommands(CommandTable& table);     // coincidence-gated energy spectra
void registerAdCommands(CommandTable& table);            // A/D sampling

// Every command the simulator answers.
CommandTable makeCommandTable();

}  // namespace veltrano::sim
