// Every device-control export on the failure paths: an unknown handle or a
// session without connection fails silently without sending; a closed
// connection fails with one error line naming the export's call kind or
// operation, followed by "Socket not connected".

#include "api/session_registry.h"
#include "support/service_session.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using DeviceControlFailures = veltest::ServiceSessionTest;

struct Export {
    const char* name;
    std::function<int(uint64_t)> call;
    std::string logText;  // what its failure line begins with, before " exception: "
};

const std::string kPlain = "Generic json call";
const std::string kI32 = "Generic json call with i32 value";
const std::string kF64 = "Generic json call with f64 value";
const std::string kBool = "Generic json call with bool value";
const std::string kString = "Generic json call with string value";
const std::string kIp = "Generic json call with ip value";
const std::string kMac = "Generic json call with mac value";
const std::string kNetport = "Generic json call with netport value";
const std::string kReturnedInt = "Generic json call returned int value";

// Every export of channel, board, device and network control, called with
// usable outputs so that only the handle or the connection can fail it.
std::vector<Export> allDeviceExports() {
    static int i;
    static double d;
    static bool b;
    static char text[32];
    static DEVICE_INFO devices[2];
    static DEVICE_STATUS status;
#define VT_EXPORT(fn, text, ...)                                               \
    {                                                                          \
#fn, [](uint64_t h) { return fn(h __VA_OPT__(, ) __VA_ARGS__); }, text \
    }
    return {
        VT_EXPORT(ci_set_dac, kPlain, 1, 0.5),
        VT_EXPORT(ci_get_dac, kF64, 1, &d),
        VT_EXPORT(ci_set_termination, kPlain, 1, 1),
        VT_EXPORT(ci_get_termination, kI32, 1, &i),
        VT_EXPORT(ci_set_hysteresis, kPlain, 1, 1),
        VT_EXPORT(ci_get_hysteresis, kI32, 1, &i),
        VT_EXPORT(ci_set_inter_delay, kPlain, 1, 1),
        VT_EXPORT(ci_get_inter_delay, kI32, 1, &i),
        VT_EXPORT(ci_set_dead_time, kPlain, 1, 1),
        VT_EXPORT(ci_get_dead_time, kI32, 1, &i),
        VT_EXPORT(ci_set_edge_type, kPlain, 1, 1),
        VT_EXPORT(ci_get_edge_type, kI32, 1, &i),
        VT_EXPORT(ci_set_ad_integration_point, kPlain, 1, 1),
        VT_EXPORT(ci_get_ad_integration_point, kI32, 1, &i),
        VT_EXPORT(ci_enable_channel, kPlain, 1),
        VT_EXPORT(ci_disable_channel, kPlain, 1),
        VT_EXPORT(ci_is_channel_enabled, kBool, 1, &b),
        VT_EXPORT(ci_enable_all_channels, kPlain),
        VT_EXPORT(ci_disable_all_channels, kPlain),
        VT_EXPORT(ci_set_tdc_clock_source, kPlain, 1),
        VT_EXPORT(ci_get_tdc_clock_source, kI32, &i),
        VT_EXPORT(ci_set_data_mode, kPlain, 1),
        VT_EXPORT(ci_get_data_mode, kI32, &i),
        VT_EXPORT(ci_set_test_mode, kPlain, 1),
        VT_EXPORT(ci_get_test_mode, kI32, &i),
        VT_EXPORT(ci_set_test_data_bandwidth, kPlain, 1),
        VT_EXPORT(ci_get_test_data_bandwidth, kI32, &i),
        VT_EXPORT(ci_set_board_id, kPlain, 1),
        VT_EXPORT(ci_get_board_id, kReturnedInt),
        VT_EXPORT(ci_set_coins_time_window, kPlain, 1),
        VT_EXPORT(ci_get_coins_time_window, kI32, &i),
        VT_EXPORT(ci_set_ad_area_scale, kPlain, 1),
        VT_EXPORT(ci_get_ad_area_scale, kI32, &i),
        VT_EXPORT(ci_set_acq_type, kPlain, 1),
        VT_EXPORT(ci_get_acq_type, kI32, &i),
        VT_EXPORT(ci_set_output_gate_type, kPlain, 1),
        VT_EXPORT(ci_get_output_gate_type, kI32, &i),
        VT_EXPORT(ci_set_gate_delay, kPlain, 1),
        VT_EXPORT(ci_get_gate_delay, kI32, &i),
        VT_EXPORT(ci_tdc_resetn, kPlain),
        VT_EXPORT(ci_system_resetn, kPlain),
        VT_EXPORT(ci_reset_state, kPlain),
        VT_EXPORT(ci_self_check, kPlain),
        VT_EXPORT(ci_get_devices, "Get devices", devices, 2),
        VT_EXPORT(ci_get_device_num, "Get device num"),
        VT_EXPORT(ci_get_device, "Get device", 0, &i, text, sizeof text),
        VT_EXPORT(ci_get_device_status, "Get device status", &status),
        VT_EXPORT(ci_get_device_temp, "Get device temperature", &i),
        VT_EXPORT(ci_get_fan_speed, kReturnedInt),
        VT_EXPORT(ci_get_device_model, kReturnedInt),
        VT_EXPORT(ci_get_device_type, kReturnedInt),
        VT_EXPORT(ci_get_channel_num, kReturnedInt),
        VT_EXPORT(ci_get_fw_version, kString, text, sizeof text),
        VT_EXPORT(ci_get_product_sn, kString, text, sizeof text),
        VT_EXPORT(ci_set_ips, kPlain, "1.1.1.1", "2.2.2.2"),
        VT_EXPORT(ci_get_ips, kIp, text, sizeof text, text, sizeof text),
        VT_EXPORT(ci_set_net_ports, kPlain, 1, 2),
        VT_EXPORT(ci_get_net_ports, kNetport, &i, &i),
        VT_EXPORT(ci_set_mac, kPlain, "m"),
        VT_EXPORT(ci_get_mac, kMac, text, sizeof text),
        VT_EXPORT(ci_set_wips, kPlain, "1.1.1.1", "2.2.2.2"),
        VT_EXPORT(ci_get_wips, kIp, text, sizeof text, text, sizeof text),
        VT_EXPORT(ci_set_wnet_ports, kPlain, 1, 2),
        VT_EXPORT(ci_get_wnet_ports, kNetport, &i, &i),
        VT_EXPORT(ci_set_wmac, kPlain, "m"),
        VT_EXPORT(ci_get_wmac, kMac, text, sizeof text),
    };
#undef VT_EXPORT
}

TEST_F(DeviceControlFailures, TheTableCoversEveryDeviceExport) {
    EXPECT_EQ(allDeviceExports().size(), 66u);
}

TEST_F(DeviceControlFailures, UnknownHandlesAndSessionsWithoutConnectionFailSilently) {
    const uint64_t noConnection = vel::SessionRegistry::add(InstInstance::create());
    for (const auto& e : allDeviceExports()) {
        EXPECT_EQ(e.call(0), -1) << e.name;
        EXPECT_EQ(e.call(handle + 1000), -1) << e.name;
        EXPECT_EQ(e.call(noConnection), -1) << e.name;
    }
    ci_destroy(noConnection);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceControlFailures, ClosedConnectionFailsEveryExportWithOneLine) {
    auto session = InstInstance::create();
    session->attachConnection(std::make_unique<TcpClient>("127.0.0.1", service.port()));
    ASSERT_TRUE(session->connection->connect());
    session->connection->disconnect();
    const uint64_t closed = vel::SessionRegistry::add(session);
    for (const auto& e : allDeviceExports()) {
        log.clear();
        EXPECT_EQ(e.call(closed), -1) << e.name;
        const std::vector<std::string> expected = {e.logText + " exception: Socket not connected"};
        EXPECT_EQ(log.errors(), expected) << e.name;
    }
    ci_destroy(closed);
}

TEST_F(DeviceControlFailures, SessionStaysUsableAfterAMalformedReply) {
    for (const auto& e : allDeviceExports()) {
        log.clear();
        service.reply("{\"result\":0,}\n");
        EXPECT_EQ(e.call(handle), -1) << e.name;
        const auto errors = log.errors();
        ASSERT_EQ(errors.size(), 1u) << e.name;
        EXPECT_EQ(errors[0].rfind(e.logText + " exception: [json.exception.parse_error", 0), 0u) << errors[0];
    }
    service.replyJson({{"result", 0}, {"data", 16}});
    EXPECT_EQ(ci_get_channel_num(handle), 16);
}

}  // namespace
