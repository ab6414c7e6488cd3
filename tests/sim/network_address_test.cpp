#include <gtest/gtest.h>

#include "sim/model/settings/network_settings.h"

namespace veltrano::sim {
namespace {

TEST(NetworkAddress, AcceptsDottedQuadIpv4Only) {
    for (const char* ok : {"0.0.0.0", "127.0.0.1", "192.168.1.10", "255.255.255.255"}) {
        EXPECT_TRUE(isValidIpv4(ok)) << ok;
    }
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.04", "1..2.3", "1.2.3.4 ", " 1.2.3.4",
                            "a.b.c.d", "1.2.3.-4", "1.2.3.4.", "1234.1.1.1", "::1"}) {
        EXPECT_FALSE(isValidIpv4(bad)) << bad;
    }
}

TEST(NetworkAddress, AcceptsSixHexPairsWithOneKindOfSeparator) {
    for (const char* ok : {"02:56:54:00:00:01", "aa-bb-cc-dd-ee-ff", "AA:bb:0C:dd:EE:ff"}) {
        EXPECT_TRUE(isValidMac(ok)) << ok;
    }
    for (const char* bad : {"", "02:56:54:00:00", "02:56:54:00:00:01:02", "02-56:54:00:00:01", "0g:56:54:00:00:01",
                            "025654000001", "02:56:54:00:00:1 ", "02.56.54.00.00.01"}) {
        EXPECT_FALSE(isValidMac(bad)) << bad;
    }
}

}  // namespace
}  // namespace veltrano::sim
