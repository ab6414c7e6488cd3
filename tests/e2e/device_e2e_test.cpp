// Device list, status and identity, and the service link to a listed device,
// through the shared library against the simulator in its default setup.

#include "support/sim_session.h"

#include <cstring>
#include <string>

namespace {

using DeviceDiscoveryAndStatus = veltest::SimSessionTest;

// Simulator result code for a device type it does not list.
constexpr int kUnknownDeviceType = 6;

TEST_F(DeviceDiscoveryAndStatus, ListsTheSimulatedDevices) {
    EXPECT_EQ(ci_get_device_num(handle), 2);
    EXPECT_EQ(ci_get_devices(handle, nullptr, 0), 2);

    DEVICE_INFO devices[3];
    std::memset(devices, 0x5a, sizeof devices);
    ASSERT_EQ(ci_get_devices(handle, devices, 3), 2);
    EXPECT_EQ(devices[0].device_type, 1);
    EXPECT_STREQ(devices[0].device_name, "Veltrano TDC 16-channel (simulated)");
    EXPECT_EQ(devices[1].device_type, 2);
    EXPECT_STREQ(devices[1].device_name, "Veltrano TDC 8-channel A/D (simulated)");
    EXPECT_EQ(devices[2].device_type, 0);
    EXPECT_STREQ(devices[2].device_name, "");

    int type = -1;
    char name[13];
    EXPECT_EQ(ci_get_device(handle, 1, &type, name, sizeof name), 0);
    EXPECT_EQ(type, 2);
    EXPECT_STREQ(name, "Veltrano TDC");
    EXPECT_EQ(ci_get_device(handle, 2, &type, name, sizeof name), -1);
}

TEST_F(DeviceDiscoveryAndStatus, StatusReadingsArePlausible) {
    DEVICE_STATUS status;
    std::memset(&status, 0, sizeof status);
    ASSERT_EQ(ci_get_device_status(handle, &status), 0);
    EXPECT_GE(status.temperature, 20);
    EXPECT_LE(status.temperature, 60);
    const float currents[] = {status.current1, status.current2, status.current3, status.current4,
                              status.current5, status.current6, status.current7, status.current8};
    for (float current : currents) {
        EXPECT_GT(current, 0.f);
        EXPECT_LT(current, 5.f);
    }
    int temperature = -1000;
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), 0);
    EXPECT_NEAR(temperature, status.temperature, 2);
    const int fan = ci_get_fan_speed(handle);
    EXPECT_GE(fan, 1800);
    EXPECT_LE(fan, 6000);
}

TEST_F(DeviceDiscoveryAndStatus, IdentityIsReported) {
    EXPECT_EQ(ci_get_device_model(handle), 1616);
    EXPECT_EQ(ci_get_device_type(handle), 1);
    EXPECT_EQ(ci_get_channel_num(handle), 16);
    char text[32];
    EXPECT_EQ(ci_get_fw_version(handle, text, sizeof text), 0);
    EXPECT_STREQ(text, "2.4.1-sim");
    EXPECT_EQ(ci_get_product_sn(handle, text, sizeof text), 0);
    EXPECT_STREQ(text, "VTS16-000001");
    EXPECT_EQ(ci_get_product_sn(handle, text, 6), 0);
    EXPECT_STREQ(text, "VTS16");
}

TEST_F(DeviceDiscoveryAndStatus, ConnectTakesOnlyListedDeviceTypes) {
    DEVICE_INFO devices[4];
    const int count = ci_get_devices(handle, devices, 4);
    ASSERT_GE(count, 2);
    EXPECT_EQ(ci_connect(handle, devices[1].device_type), 0);
    EXPECT_EQ(ci_disconnect(handle), 0);
    EXPECT_EQ(ci_connect(handle, 9999), kUnknownDeviceType);
    EXPECT_EQ(ci_connect(handle, devices[0].device_type), 0);
}

}  // namespace
