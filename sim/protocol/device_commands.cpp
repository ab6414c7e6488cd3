#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {

void registerDeviceCommands(CommandTable& table) {
    // {"result":0,"devices":[{"device_type":1,"device_name":"..."}, ...]}
    table.add("get_devices", [](const Request&, CommandContext& context) {
        Json devices = Json::array();
        for (const DeviceEntry& d : context.instrument.devices()) {
            devices.push_back(Json{{"device_type", d.type}, {"device_name", d.name}});
        }
        return Reply{Json{{"result", 0}, {"devices", std::move(devices)}}};
    });

    // {"result":0,"data":{"status":0,"temperature":T,"current1":A1, ... "current8":A8}}
    table.add("get_devicestatus", [](const Request&, CommandContext& context) {
        const DeviceStatus s = context.instrument.status();
        Json members{{"temperature", s.temperatureC}};
        for (std::size_t i = 0; i < s.currentsA.size(); ++i) {
            members["current" + std::to_string(i + 1)] = s.currentsA[i];
        }
        return membersReply(std::move(members));
    });

    table.add("get_fanspeed", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.status().fanRpm);
    });
    table.add("get_devicemodel", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.identity().model);
    });
    table.add("get_devicetype", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.deviceType());
    });
    table.add("get_channelnum", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.channelCount());
    });
    table.add("get_fwversion", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.identity().firmwareVersion);
    });
    table.add("get_productsn", [](const Request&, CommandContext& context) {
        return valueReply(context.instrument.identity().serialNumber);
    });
}

}  // namespace veltrano::sim
