// Network settings of both sets through the shared library against the
// simulator: defaults, changes read back, independence of the sets, and the
// simulator's codes for addresses and ports it refuses.

#include "support/sim_session.h"
#include "unit/network_set_table.h"

#include <string>

namespace {

using NetworkSettingsOnSimulator = veltest::SimSessionTest;

constexpr int kValueOutOfRange = 5;
constexpr int kInvalidFormat = 7;

using veltest::kPlainNetworkSet;
using veltest::kWNetworkSet;
using veltest::NetworkSet;

struct Snapshot {
    std::string localIp, deviceIp, mac;
    int localPort = -1, devicePort = -1;
    bool operator==(const Snapshot&) const = default;
};

Snapshot read(uint64_t handle, const NetworkSet& set) {
    char local[32] = "";
    char device[32] = "";
    char mac[32] = "";
    Snapshot s;
    EXPECT_EQ(set.getIps(handle, local, sizeof local, device, sizeof device), 0) << set.name;
    EXPECT_EQ(set.getPorts(handle, &s.localPort, &s.devicePort), 0) << set.name;
    EXPECT_EQ(set.getMac(handle, mac, sizeof mac), 0) << set.name;
    s.localIp = local;
    s.deviceIp = device;
    s.mac = mac;
    return s;
}

TEST_F(NetworkSettingsOnSimulator, BothSetsStartFromTheirDefaults) {
    EXPECT_EQ(read(handle, kPlainNetworkSet),
              (Snapshot{"192.168.1.100", "192.168.1.10", "02:56:54:00:00:01", 8000, 8001}));
    EXPECT_EQ(read(handle, kWNetworkSet),
              (Snapshot{"192.168.2.100", "192.168.2.10", "02:56:54:00:00:02", 9000, 9001}));
}

TEST_F(NetworkSettingsOnSimulator, EachSetIsChangedOnItsOwn) {
    const Snapshot wBefore = read(handle, kWNetworkSet);
    ASSERT_EQ(ci_set_ips(handle, "10.1.2.3", "10.1.2.4"), 0);
    ASSERT_EQ(ci_set_net_ports(handle, 7000, 7001), 0);
    ASSERT_EQ(ci_set_mac(handle, "0A-1B-2C-3D-4E-5F"), 0);
    EXPECT_EQ(read(handle, kPlainNetworkSet), (Snapshot{"10.1.2.3", "10.1.2.4", "0A-1B-2C-3D-4E-5F", 7000, 7001}));
    EXPECT_EQ(read(handle, kWNetworkSet), wBefore);

    ASSERT_EQ(ci_set_wips(handle, "172.16.0.1", "172.16.0.2"), 0);
    ASSERT_EQ(ci_set_wnet_ports(handle, 65535, 1), 0);
    ASSERT_EQ(ci_set_wmac(handle, "aa:bb:cc:dd:ee:ff"), 0);
    EXPECT_EQ(read(handle, kWNetworkSet), (Snapshot{"172.16.0.1", "172.16.0.2", "aa:bb:cc:dd:ee:ff", 65535, 1}));
}

TEST_F(NetworkSettingsOnSimulator, RefusedAddressesAndPortsChangeNothing) {
    for (const NetworkSet* set : {&kPlainNetworkSet, &kWNetworkSet}) {
        const Snapshot before = read(handle, *set);
        EXPECT_EQ(set->setIps(handle, "300.1.1.1", "10.0.0.1"), kInvalidFormat) << set->name;
        EXPECT_EQ(set->setIps(handle, "10.0.0.1", nullptr), kInvalidFormat) << set->name;
        EXPECT_EQ(set->setPorts(handle, 0, 8001), kValueOutOfRange) << set->name;
        EXPECT_EQ(set->setPorts(handle, 8000, 65536), kValueOutOfRange) << set->name;
        EXPECT_EQ(set->setMac(handle, "02:56:54:00:00"), kInvalidFormat) << set->name;
        EXPECT_EQ(set->setMac(handle, "02:56-54:00:00:01"), kInvalidFormat) << set->name;
        EXPECT_EQ(read(handle, *set), before) << set->name;
    }
}

TEST_F(NetworkSettingsOnSimulator, AddressesAreCutToTheCallersBuffers) {
    char local[8];
    char device[32];
    char mac[3];
    EXPECT_EQ(ci_get_ips(handle, local, sizeof local, device, sizeof device), 0);
    EXPECT_STREQ(local, "192.168");
    EXPECT_STREQ(device, "192.168.1.10");
    EXPECT_EQ(ci_get_wmac(handle, mac, sizeof mac), 0);
    EXPECT_STREQ(mac, "02");
    EXPECT_EQ(ci_get_wips(handle, nullptr, 0, device, sizeof device), 0);
    EXPECT_STREQ(device, "192.168.2.10");
}

}  // namespace
