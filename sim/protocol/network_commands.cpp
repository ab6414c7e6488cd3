#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

struct NetworkCommandNames {
    NetworkSet set;
    const char* setIps;
    const char* getIps;
    const char* setPorts;
    const char* getPorts;
    const char* setMac;
    const char* getMac;
};

// The w-set's ports are written with "set_wnetports", matching "get_wnetports".
constexpr NetworkCommandNames kNetworkSets[] = {
    {NetworkSet::Plain, "set_ips", "get_ips", "set_netports", "get_netports", "set_mac", "get_mac"},
    {NetworkSet::W, "set_wips", "get_wips", "set_wnetports", "get_wnetports", "set_wmac", "get_wmac"},
};

const std::string kIpRule = "a dotted IPv4 address";
const std::string kMacRule = "six hexadecimal pairs separated by ':' or '-'";

void registerSet(CommandTable& table, const NetworkCommandNames& names) {
    const NetworkSet set = names.set;
    table.add(names.setIps, [set](const Request& request, CommandContext& context) {
        const std::string& localIp = request.text("local_ip");
        const std::string& deviceIp = request.text("device_ip");
        return statusReply(context.instrument.setIps(set, localIp, deviceIp), context, kIpRule);
    });
    table.add(names.getIps, [set](const Request&, CommandContext& context) {
        const NetworkSettings n = context.instrument.network(set);
        return membersReply(Json{{"local_ip", n.localIp}, {"device_ip", n.deviceIp}});
    });
    table.add(names.setPorts, [set](const Request& request, CommandContext& context) {
        const std::int64_t localPort = request.integer("local_port");
        const std::int64_t devicePort = request.integer("device_port");
        return statusReply(context.instrument.setPorts(set, localPort, devicePort), context,
                           rangeText(kNetworkPortRange));
    });
    table.add(names.getPorts, [set](const Request&, CommandContext& context) {
        const NetworkSettings n = context.instrument.network(set);
        return membersReply(Json{{"local_port", n.localPort}, {"device_port", n.devicePort}});
    });
    table.add(names.setMac, [set](const Request& request, CommandContext& context) {
        return statusReply(context.instrument.setMac(set, request.text("device_mac")), context, kMacRule);
    });
    table.add(names.getMac, [set](const Request&, CommandContext& context) {
        return membersReply(Json{{"device_mac", context.instrument.network(set).deviceMac}});
    });
}

}  // namespace

void registerNetworkCommands(CommandTable& table) {
    for (const NetworkCommandNames& names : kNetworkSets) registerSet(table, names);
}

}  // namespace veltrano::sim
