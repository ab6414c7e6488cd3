#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

struct NetworkCommandNames {
    NetworkSet set;
    const char* set_ips;
    const char* get_ips;
    const char* set_ports;
    const char* get_ports;
    const char* set_mac;
    const char* get_mac;
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
    table.add(names.set_ips, [set](const Request& request, CommandContext& context) {
        const std::string& local_ip = request.text("local_ip");
        const std::string& device_ip = request.text("device_ip");
        return statusReply(context.instrument.setIps(set, local_ip, device_ip), context, kIpRule);
    });
    table.add(names.get_ips, [set](const Request&, CommandContext& context) {
        const NetworkSettings n = context.instrument.network(set);
        return membersReply(Json{{"local_ip", n.local_ip}, {"device_ip", n.device_ip}});
    });
    table.add(names.set_ports, [set](const Request& request, CommandContext& context) {
        const std::int64_t local_port = request.integer("local_port");
        const std::int64_t device_port = request.integer("device_port");
        return statusReply(context.instrument.setPorts(set, local_port, device_port), context,
                           rangeText(kNetworkPortRange));
    });
    table.add(names.get_ports, [set](const Request&, CommandContext& context) {
        const NetworkSettings n = context.instrument.network(set);
        return membersReply(Json{{"local_port", n.local_port}, {"device_port", n.device_port}});
    });
    table.add(names.set_mac, [set](const Request& request, CommandContext& context) {
        return statusReply(context.instrument.setMac(set, request.text("device_mac")), context, kMacRule);
    });
    table.add(names.get_mac, [set](const Request&, CommandContext& context) {
        return membersReply(Json{{"device_mac", context.instrument.network(set).device_mac}});
    });
}

}  // namespace

void registerNetworkCommands(CommandTable& table) {
    for (const NetworkCommandNames& names : kNetworkSets) registerSet(table, names);
}

}  // namespace veltrano::sim
