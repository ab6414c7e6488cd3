/*
 * rates_and_raw: a first look at the signal. Reads the single count rates of
 * the first four channels and, with a coincidence window of 2 ns that takes in
 * the simulator's photon pairs on channels 1 and 2, the coincidence rate of
 * channel 1; then records 2 seconds of raw time tags into volume files of
 * 1 MiB and lists them.
 *
 * Run against the simulator (scripts/demo.sh does all of this):
 *   build/default/sim/veltrano-sim --port 6789 &
 *   build/default/examples/rates_and_raw "$PWD"/examples/service.ini out
 * Expected output (rates vary with the seed):
 *   channel 1: 20754 counts/s
 *   ...
 *   coincidences on channel 1 within 2 ns: 19876 counts/s
 *   raw acquisition of 2 s -> 0
 *   out/raw/run.bin 1048576 bytes
 *   ...
 *   5019376 bytes of 16-byte time tags in 5 volume(s)
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

/* The volume files of an acquisition to "run.bin": run.bin, run_1.bin, ... */
static long long file_size(const char* path) {
    FILE* file = fopen(path, "rb");
    long long size;
    if (file == NULL) {
        return -1;
    }
    fseek(file, 0, SEEK_END);
    size = ftell(file);
    fclose(file);
    return size;
}

static void sleep_ms(long ms) {
    struct timespec pause;
    pause.tv_sec = ms / 1000;
    pause.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&pause, NULL);
}

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    char path[1024];
    long long total = 0;
    int channel, volume, status;
    bool processing = true;

    uint64_t session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    ci_connect(session, 1);
    /* Set before the rates are read: the instrument judges coincidences as
     * events come in. */
    ci_set_coins_time_window(session, 2000); /* ps */

    for (channel = 1; channel <= 4; ++channel) {
        printf("channel %d: %d counts/s\n", channel, ci_get_single_cps(session, channel));
    }
    printf("coincidences on channel 1 within 2 ns: %d counts/s\n", ci_get_coins_cps(session, 1));

    /* 16-byte time tags (format 0) into the folder "raw" under base_dir. */
    ci_set_acq_dataformat(session, 0);
    status = ci_acq_rawdata_local(session, 0, 2, "raw", "run.bin", 1, 0);
    printf("raw acquisition of 2 s -> %d\n", status);
    if (status == 0) {
        /* The service streams for 2 s; ask until it reports the end, then
         * stop, which closes the last volume and cuts it to its length. */
        sleep_ms(2000);
        while (processing && ci_is_rawdata_processing(session, &processing) == 0) {
            sleep_ms(100);
        }
        sleep_ms(300);
        ci_stop_acq(session);
        for (volume = 0;; ++volume) {
            long long size;
            if (volume == 0) {
                snprintf(path, sizeof path, "%s/raw/run.bin", base_dir);
            } else {
                snprintf(path, sizeof path, "%s/raw/run_%d.bin", base_dir, volume);
            }
            size = file_size(path);
            if (size < 0) {
                break;
            }
            printf("%s %lld bytes\n", path, size);
            total += size;
        }
        printf("%lld bytes of 16-byte time tags in %d volume(s)\n", total, volume);
    }

    ci_destroy(session);
    ci_cleanup();
    return status == 0 && total > 0 ? 0 : 1;
}
