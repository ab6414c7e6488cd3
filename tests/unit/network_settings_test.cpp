// Network settings of both sets against a scripted service: addresses as
// strings sent verbatim, ports as integers, and the getters that accept only a
// valid "data" object and fill each output of a pair on its own.

#include "support/service_session.h"
#include "unit/network_set_table.h"

#include <cstring>
#include <string>

namespace {

using NetworkSettings = veltest::ServiceSessionTest;

using veltest::kNetworkSets;

std::string commandRequest(const std::string& command) {
    return "{\"cmd\":\"" + command + "\"}\n";
}

TEST_F(NetworkSettings, SettersSendAddressesAsStringsAndPortsAsIntegers) {
    for (const auto& set : kNetworkSets) {
        service.replyJson({{"result", 7}});
        EXPECT_EQ(set.setIps(handle, "10.0.0.1", "10.0.0.2"), 7) << set.name;
        set.setPorts(handle, 8000, 8001);
        set.setMac(handle, "02:56:54:00:00:01");
        const auto requests = service.requests();
        ASSERT_GE(requests.size(), 3u);
        const auto last = requests.end() - 3;
        EXPECT_EQ(last[0], "{\"cmd\":\"" + std::string(set.commands[0]) +
                               "\",\"device_ip\":\"10.0.0.2\",\"local_ip\":\"10.0.0.1\"}\n");
        EXPECT_EQ(last[1], "{\"cmd\":\"" + std::string(set.commands[2]) +
                               "\",\"device_port\":8001,\"local_port\":8000}\n");
        EXPECT_EQ(last[2], "{\"cmd\":\"" + std::string(set.commands[4]) +
                               "\",\"device_mac\":\"02:56:54:00:00:01\"}\n");
    }
}

TEST_F(NetworkSettings, SettersSendTextsVerbatimAndNullAsEmpty) {
    ci_set_ips(handle, " 010.0.0.1 ", nullptr);
    ci_set_wmac(handle, nullptr);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "{\"cmd\":\"set_ips\",\"device_ip\":\"\",\"local_ip\":\" 010.0.0.1 \"}\n");
    EXPECT_EQ(requests[1], "{\"cmd\":\"set_wmac\",\"device_mac\":\"\"}\n");
}

TEST_F(NetworkSettings, IpGettersCutEachAddressToItsOwnBuffer) {
    for (const auto& set : kNetworkSets) {
        service.reply(R"({"result":0,"data":{"status":0,"local_ip":"192.168.100.101","device_ip":"10.0.0.2"}})"
                      "\n");
        char local[8];
        char device[16];
        EXPECT_EQ(set.getIps(handle, local, sizeof local, device, sizeof device), 0) << set.name;
        EXPECT_STREQ(local, "192.168");
        EXPECT_STREQ(device, "10.0.0.2");
        EXPECT_EQ(service.requests().back(), commandRequest(set.commands[1]));

        // A missing or unusable local buffer does not stop the device buffer.
        service.reply(R"({"result":0,"data":{"status":0,"local_ip":"1.1.1.1","device_ip":"2.2.2.2"}})" "\n");
        std::strcpy(local, "keep");
        EXPECT_EQ(set.getIps(handle, local, 0, device, sizeof device), 0);
        EXPECT_STREQ(local, "keep");
        EXPECT_STREQ(device, "2.2.2.2");
    }
}

TEST_F(NetworkSettings, GettersLeaveEveryOutputWithoutAValidDataObject) {
    for (const auto& set : kNetworkSets) {
        for (const char* data : {R"({"status":1,"local_ip":"1.1.1.1","device_ip":"2.2.2.2","local_port":1,)"
                                 R"("device_port":2,"device_mac":"m"})",
                                 R"({"local_ip":"1.1.1.1","local_port":1,"device_mac":"m"})", R"("1.1.1.1")"}) {
            const std::string reply = std::string(R"({"result":0,"data":)") + data + "}\n";
            service.reply(reply);
            service.reply(reply);
            service.reply(reply);
            char local[16] = "keep";
            char device[16] = "keep";
            char mac[16] = "keep";
            int localPort = -1;
            int devicePort = -1;
            EXPECT_EQ(set.getIps(handle, local, sizeof local, device, sizeof device), 0);
            EXPECT_EQ(set.getPorts(handle, &localPort, &devicePort), 0);
            EXPECT_EQ(set.getMac(handle, mac, sizeof mac), 0);
            EXPECT_STREQ(local, "keep") << set.name << data;
            EXPECT_STREQ(device, "keep") << set.name << data;
            EXPECT_STREQ(mac, "keep") << set.name << data;
            EXPECT_EQ(localPort, -1) << set.name << data;
            EXPECT_EQ(devicePort, -1) << set.name << data;
        }
    }
}

TEST_F(NetworkSettings, PortGettersStoreEachPortWhoseOutputIsGiven) {
    for (const auto& set : kNetworkSets) {
        service.reply(R"({"result":0,"data":{"status":0,"local_port":8000,"device_port":8001}})" "\n");
        service.reply(R"({"result":4,"data":{"status":0,"local_port":9000,"device_port":9001}})" "\n");
        service.reply(R"({"result":0,"data":{"status":0,"device_port":9002}})" "\n");
        int localPort = -1;
        int devicePort = -1;
        EXPECT_EQ(set.getPorts(handle, &localPort, &devicePort), 0) << set.name;
        EXPECT_EQ(localPort, 8000);
        EXPECT_EQ(devicePort, 8001);
        EXPECT_EQ(service.requests().back(), commandRequest(set.commands[3]));
        EXPECT_EQ(set.getPorts(handle, nullptr, &devicePort), 4);
        EXPECT_EQ(localPort, 8000);
        EXPECT_EQ(devicePort, 9001);
        // A missing member reads as 0.
        EXPECT_EQ(set.getPorts(handle, &localPort, &devicePort), 0);
        EXPECT_EQ(localPort, 0);
        EXPECT_EQ(devicePort, 9002);
    }
}

TEST_F(NetworkSettings, MacGettersCutTheAddressAndIgnoreAZeroLength) {
    for (const auto& set : kNetworkSets) {
        service.reply(R"({"result":0,"data":{"status":0,"device_mac":"02:56:54:00:00:01"}})" "\n");
        service.reply(R"({"result":3,"data":{"status":0,"device_mac":"02:56:54:00:00:01"}})" "\n");
        char mac[9];
        EXPECT_EQ(set.getMac(handle, mac, sizeof mac), 0) << set.name;
        EXPECT_STREQ(mac, "02:56:54");
        EXPECT_EQ(service.requests().back(), commandRequest(set.commands[5]));
        std::strcpy(mac, "keep");
        EXPECT_EQ(set.getMac(handle, mac, 0), 3);
        EXPECT_STREQ(mac, "keep");
    }
}

}  // namespace
