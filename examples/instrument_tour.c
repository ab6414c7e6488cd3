/*
 * instrument_tour: what a measurement script does first. Lists the devices the
 * service offers, links to the first one, configures a few channels, reads
 * them back and prints the device's status and identity.
 *
 * Run against the simulator (scripts/demo.sh does all of this):
 *   build/default/sim/veltrano-sim --port 6789 &
 *   build/default/examples/instrument_tour examples/service.ini .
 * Expected output (values vary a little with the simulated temperature):
 *   2 device(s):
 *     type 1  ...
 *   linked to device type 1
 *   channel 1: threshold 0.250 V, dead time 8000, enabled 1
 *   ...
 *   temperature 35 C, fan 2400 rpm, currents 1.20 0.80 ...
 *   model 1616, type 1, 16 channels, firmware 2.4.1-sim, serial VTS16-000001
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>

#define MAX_DEVICES 8

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    DEVICE_INFO devices[MAX_DEVICES];
    DEVICE_STATUS status;
    char firmware[64] = "";
    char serial[64] = "";
    int count, i, channel;

    uint64_t session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }

    count = ci_get_devices(session, devices, MAX_DEVICES);
    printf("%d device(s):\n", count);
    for (i = 0; i < count && i < MAX_DEVICES; ++i) {
        printf("  type %d  %s\n", (int)devices[i].device_type, devices[i].device_name);
    }
    if (count < 1 || ci_connect(session, devices[0].device_type) != 0) {
        fprintf(stderr, "the service could not link to a device\n");
        ci_destroy(session);
        return 1;
    }
    printf("linked to device type %d\n", (int)devices[0].device_type);

    for (channel = 1; channel <= 4; ++channel) {
        double threshold = 0.0;
        int dead_time = 0;
        bool enabled = false;
        if (ci_set_dac(session, channel, 0.25) != 0 || ci_set_dead_time(session, channel, 8000) != 0 ||
            ci_enable_channel(session, channel) != 0) {
            fprintf(stderr, "channel %d refused its settings\n", channel);
        }
        ci_get_dac(session, channel, &threshold);
        ci_get_dead_time(session, channel, &dead_time);
        ci_is_channel_enabled(session, channel, &enabled);
        printf("channel %d: threshold %.3f V, dead time %d, enabled %d\n", channel, threshold, dead_time,
               (int)enabled);
    }

    if (ci_get_device_status(session, &status) == 0) {
        printf("temperature %d C, fan %d rpm, currents %.2f %.2f %.2f %.2f\n", (int)status.temperature,
               ci_get_fan_speed(session), status.current1, status.current2, status.current3, status.current4);
    }
    ci_get_fw_version(session, firmware, (int)sizeof firmware);
    ci_get_product_sn(session, serial, (int)sizeof serial);
    printf("model %d, type %d, %d channels, firmware %s, serial %s\n", ci_get_device_model(session),
           ci_get_device_type(session), ci_get_channel_num(session), firmware, serial);

    ci_disconnect(session);
    ci_destroy(session);
    ci_cleanup();
    return 0;
}
