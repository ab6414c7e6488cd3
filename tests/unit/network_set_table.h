#pragma once
// The two network setting sets side by side, for tests that run the same
// scenario on both: the exports of each set and the commands they send. Uses
// only the public header, so unit and end-to-end tests share it.

#include <veltranoapi/veltranoapi.h>

namespace veltest {

struct NetworkSet {
    const char* name;
    int (*setIps)(uint64_t, const char*, const char*);
    int (*getIps)(uint64_t, char*, int, char*, int);
    int (*setPorts)(uint64_t, int, int);
    int (*getPorts)(uint64_t, int*, int*);
    int (*setMac)(uint64_t, const char*);
    int (*getMac)(uint64_t, char*, int);
    // Command names in the order of the functions above.
    const char* commands[6];
};

inline constexpr NetworkSet kPlainNetworkSet = {
    "plain", ci_set_ips, ci_get_ips, ci_set_net_ports, ci_get_net_ports, ci_set_mac, ci_get_mac,
    {"set_ips", "get_ips", "set_netports", "get_netports", "set_mac", "get_mac"}};

inline constexpr NetworkSet kWNetworkSet = {
    "w", ci_set_wips, ci_get_wips, ci_set_wnet_ports, ci_get_wnet_ports, ci_set_wmac, ci_get_wmac,
    {"set_wips", "get_wips", "set_wnetports", "get_wnetports", "set_wmac", "get_wmac"}};

inline constexpr NetworkSet kNetworkSets[] = {kPlainNetworkSet, kWNetworkSet};

}  // namespace veltest
