#pragma once

#include <string>
#include <vector>

#include "sim/model/settings/measurement_config.h"
#include "sim/model/settings/network_settings.h"
#include "sim/model/sources/signal_config.h"
#include "sim/model/status/status_model.h"

namespace veltrano::sim {

// One entry of the device list the service reports.
struct DeviceEntry {
    int type = 0;
    std::string name;
};

// Identity of the simulated instrument (the first entry of the device list).
struct Identity {
    std::string firmwareVersion = "2.4.1-sim";
    std::string serialNumber = "VTS16-000001";
    int model = 1616;
};

// Everything the instrument is built from; defaults are the documented ones.
struct InstrumentConfig {
    SignalConfig signal;  // also holds the channel count and the seed
    std::vector<DeviceEntry> devices{{1, "Veltrano TDC 16-channel (simulated)"},
                                     {2, "Veltrano TDC 8-channel A/D (simulated)"}};
    Identity identity;
    NetworkSettings network{"192.168.1.100", "192.168.1.10", 8000, 8001, "02:56:54:00:00:01"};
    NetworkSettings wnetwork{"192.168.2.100", "192.168.2.10", 9000, 9001, "02:56:54:00:00:02"};
    StatusConfig status;
    AcquisitionConfig acquisition;
    StreamConfig stream;
    RateConfig rates;
};

}  // namespace veltrano::sim
