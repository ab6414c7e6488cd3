/*
 * energy_spectra: pulse-height spectra from the A/D channels. The program
 * records, in file mode,
 *   1. the energy spectrum of channel 1 for 3 s:
 *        <base_dir>/energy/spectrum.csv    adc, counts
 *   2. a coincidence-gated spectrum of channels 1 and 3 for 3 s: pulses of
 *      the two channels within 5 ns of each other, channel 1 inside its
 *      photopeak window (600 to 720), channel 3 at any energy:
 *        <base_dir>/energy/gated.csv       tdiff, counts (channel 3 minus 1, ps)
 *        <base_dir>/energy/gated_ch1.csv   adc, counts (channel 1's pulses)
 *        <base_dir>/energy/gated_ch3.csv   adc, counts (channel 3's pulses)
 * and prints where the photopeak lies and how much each result counted.
 * Each pulse is integrated over 1024 samples and its area divided by 16, so
 * that the "adc" axis reads keV in the simulator.
 *
 * Channels 1 and 3 must see correlated pulses: run the simulator with
 * examples/sim-energy.ini, whose photon-pair source feeds those two channels
 * (scripts/demo.sh does this and draws the plot):
 *   build/default/sim/veltrano-sim --port 6789 --config examples/sim-energy.ini &
 *   build/default/examples/energy_spectra "$PWD"/examples/service.ini out
 * (a relative INI path is taken under the output folder, hence "$PWD").
 * Expected output (the counts vary from run to run):
 *   energy spectrum: 1 of 3 s
 *   ...
 *   stop and save -> 0
 *   spectrum: 63003 pulses, photopeak at 662.0 keV (its maximum bin at 663), 33 % of the pulses
 *   gated: 1 of 3 s
 *   ...
 *   stop and save -> 0
 *   gated: 21207 coincidences, channel 3 follows channel 1 by 1500 ps
 *   gated spectra: channel 1 from 600 to 720, channel 3 peaks at 663
 *   files: out/energy/spectrum.csv, gated.csv, gated_ch1.csv, gated_ch3.csv
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#define DURATION_S 3
#define CHANNEL_A 1
#define CHANNEL_B 3
/* Integrate the whole pulse and scale its area to keV (16 codes per keV). */
#define INTEGRATION_POINTS 1024
#define AREA_SCALE 16
/* Channel 1's gate: the photopeak of the simulated source (662 keV). */
#define PEAK_WINDOW_LOW 600
#define PEAK_WINDOW_HIGH 720
#define ANY_ENERGY_HIGH 1000
#define COINCIDENCE_WINDOW_PS 5000
/* Half the width around the maximum that the photopeak's centroid takes in. */
#define CENTROID_HALF_WIDTH 40

static void sleep_ms(long ms) {
    struct timespec pause;
    pause.tv_sec = ms / 1000;
    pause.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&pause, NULL);
}

/* Lets a run go its whole duration, showing the seconds. */
static void wait_for_run(const char* name) {
    int second;
    for (second = 1; second <= DURATION_S; ++second) {
        sleep_ms(1000);
        printf(isatty(STDOUT_FILENO) ? "\r%s: %d of %d s" : "%s: %d of %d s\n", name, second, DURATION_S);
        fflush(stdout);
    }
    sleep_ms(200);
    if (isatty(STDOUT_FILENO)) {
        printf("\n");
    }
}

/* Index of the largest count among count (x, counts) pairs. */
static int peak_of(const int64_t* pairs, int count) {
    int i, best = 0;
    for (i = 1; i < count; ++i) {
        if (pairs[2 * i + 1] > pairs[2 * best + 1]) {
            best = i;
        }
    }
    return best;
}

static double total_of(const int64_t* pairs, int count) {
    double total = 0;
    int i;
    for (i = 0; i < count; ++i) {
        total += (double)pairs[2 * i + 1];
    }
    return total;
}

/* The energy spectrum's photopeak: the centroid of the bins around its
 * maximum, steadier than the maximum alone, and the share of the pulses. */
static void print_spectrum(const int64_t* spectrum, int count) {
    double total = total_of(spectrum, count), in_peak = 0, weighted = 0;
    int i, peak;
    if (count == 0 || total <= 0) {
        printf("spectrum: empty\n");
        return;
    }
    peak = peak_of(spectrum, count);
    for (i = 0; i < count; ++i) {
        int64_t offset = spectrum[2 * i] - spectrum[2 * peak];
        if (offset >= -CENTROID_HALF_WIDTH && offset <= CENTROID_HALF_WIDTH) {
            in_peak += (double)spectrum[2 * i + 1];
            weighted += (double)spectrum[2 * i] * (double)spectrum[2 * i + 1];
        }
    }
    printf("spectrum: %.0f pulses, photopeak at %.1f keV (its maximum bin at %lld), %.0f %% of the pulses\n", total,
           weighted / in_peak, (long long)spectrum[2 * peak], 100.0 * in_peak / total);
}

static void print_gated(const int64_t* tdiff, int tdiff_count, const int64_t* area_b, int area_b_count) {
    double coincidences = total_of(tdiff, tdiff_count);
    if (tdiff_count == 0 || coincidences <= 0) {
        printf("gated: no coincidences (start the simulator with examples/sim-energy.ini)\n");
        return;
    }
    printf("gated: %.0f coincidences, channel %d follows channel %d by %lld ps\n", coincidences, CHANNEL_B, CHANNEL_A,
           (long long)tdiff[2 * peak_of(tdiff, tdiff_count)]);
    if (area_b_count > 0) {
        printf("gated spectra: channel %d from %d to %d, channel %d peaks at %lld\n", CHANNEL_A, PEAK_WINDOW_LOW,
               PEAK_WINDOW_HIGH, CHANNEL_B, (long long)area_b[2 * peak_of(area_b, area_b_count)]);
    }
}

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    int status, count = 0, area_count = 0;
    int64_t *spectrum, *tdiff, *area_b;

    uint64_t session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    ci_connect(session, 1);

    /* 1. The plain spectrum, no per-pulse records. */
    status = ci_es_analysis(session, DURATION_S, CHANNEL_A, INTEGRATION_POINTS, AREA_SCALE, 0, "energy", "spectrum.csv");
    if (status != 0) {
        fprintf(stderr, "energy spectrum refused: %d\n", status);
        ci_destroy(session);
        return 1;
    }
    wait_for_run("energy spectrum");
    /* Stopping the ended run saves the spectrum without waiting for the
     * library's timer (2 s after the duration). */
    status = ci_stop_es_analysis(session);
    printf("stop and save -> %d\n", status);
    /* The results stay with the service until the next analysis starts. */
    spectrum = ci_fetch_es_processdata(session, &count);
    print_spectrum(spectrum, count);
    ci_free_int64_data(spectrum);

    /* 2. The gated spectra, one averaging run. */
    status = ci_conform_es_analysis(session, DURATION_S, CHANNEL_A, CHANNEL_B, INTEGRATION_POINTS, AREA_SCALE,
                                    PEAK_WINDOW_LOW, PEAK_WINDOW_HIGH, 0, ANY_ENERGY_HIGH, COINCIDENCE_WINDOW_PS, 1,
                                    "energy", "gated.csv");
    if (status != 0) {
        fprintf(stderr, "coincidence-gated energy analysis refused: %d\n", status);
        ci_destroy(session);
        return 1;
    }
    wait_for_run("gated");
    status |= ci_stop_conform_es_analysis(session);
    printf("stop and save -> %d\n", status);
    tdiff = ci_fetch_conform_es_processdata(session, &count);
    area_b = ci_fetch_conform_es_area2_processdata(session, &area_count);
    print_gated(tdiff, count, area_b, area_count);
    ci_free_int64_data(tdiff);
    ci_free_int64_data(area_b);
    printf("files: %s/energy/spectrum.csv, gated.csv, gated_ch%d.csv, gated_ch%d.csv\n", base_dir, CHANNEL_A,
           CHANNEL_B);

    ci_destroy(session);
    ci_cleanup();
    return status == 0 ? 0 : 1;
}
