/*
 * stability: the frequency stability of a clock. In the simulator a 100 kHz
 * clock on the last channel carries white phase noise (5 ps per tick) and
 * white frequency noise (1e-7 per period). The program measures it for
 * 10 seconds with a period analysis in file mode, which writes six CSV files
 * under <base_dir>/stability/:
 *   clock_period.csv   cycle_index, period(ps)   each cycle, while it runs
 *   clock_counts.csv   period(ps), counts        the period histogram
 *   clock_adev.csv     tau(s), adev              Allan deviation
 *   clock_mdev.csv     tau(s), mdev              modified Allan deviation
 *   clock_tdev.csv     tau(s), tdev              time deviation
 *   clock_hdev.csv     tau(s), hdev              Hadamard deviation
 * (the last five when the run ends), then prints the number of periods,
 * their mean and the Allan deviation at the shortest and longest tau.
 *
 * Run against the simulator (scripts/demo.sh does this and draws the plot):
 *   build/default/sim/veltrano-sim --port 6789 &
 *   build/default/examples/stability "$PWD"/examples/service.ini out
 * (a relative INI path is taken under the output folder, hence "$PWD").
 * Expected output (the last digits vary from run to run):
 *   period analysis: 1 of 10 s
 *   ...
 *   period analysis: 10 of 10 s
 *   stop and save -> 0
 *   periods: 999994 measured, 5 ticks lost to the dead time
 *   mean period: 10000000.0 ps (100000.000 Hz)
 *   ADEV: 8.7e-07 at tau 1e-05 s, 4.2e-10 at tau 0.56 s (20 taus)
 *   files: out/stability/clock_*.csv
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#define DURATION_S 10
/* The simulated clock's nominal frequency: the deviations are taken against it. */
#define NOMINAL_HZ 100000.0
/* Averaging times from one period over 5 decades, 4 per decade. */
#define DECADES 5
#define DECADE_POINTS 4
/* How often the library fetches the per-cycle periods for the file (ms). */
#define SAMPLING_INTERVAL_MS 100

static void sleep_ms(long ms) {
    struct timespec pause;
    pause.tv_sec = ms / 1000;
    pause.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&pause, NULL);
}

/* Prints what the period histogram (period in ps, counts) says. A tick lost
 * to the dead time makes one count of k periods; it is counted as k cycles. */
static void print_periods(const int64_t* histogram, int bins) {
    const double nominal_ps = 1e12 / NOMINAL_HZ;
    double measured = 0, cycles = 0, total_ps = 0;
    int i;
    for (i = 0; i < bins; ++i) {
        double period_ps = (double)histogram[2 * i];
        double counts = (double)histogram[2 * i + 1];
        double spanned = (double)(long long)(period_ps / nominal_ps + 0.5);
        measured += counts;
        cycles += (spanned < 1 ? 1 : spanned) * counts;
        total_ps += period_ps * counts;
    }
    if (cycles <= 0) {
        printf("periods: none measured (is the clock channel enabled?)\n");
        return;
    }
    printf("periods: %.0f measured, %.0f ticks lost to the dead time\n", measured, cycles - measured);
    printf("mean period: %.1f ps (%.3f Hz)\n", total_ps / cycles, 1e12 * cycles / total_ps);
}

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    int second, status, count = 0;
    int64_t* histogram;
    double* adev;

    uint64_t session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    ci_connect(session, 1);

    /* average_num, analysis_length and sampling_num are the service's own
     * tuning values; 0 leaves them to it. */
    status = ci_period_analysis(session, DURATION_S, DECADES, DECADE_POINTS, 0, 0, NOMINAL_HZ, SAMPLING_INTERVAL_MS, 0,
                                "stability", "clock.csv");
    if (status != 0) {
        fprintf(stderr, "period analysis refused: %d\n", status);
        ci_destroy(session);
        return 1;
    }
    for (second = 1; second <= DURATION_S; ++second) {
        sleep_ms(1000);
        printf(isatty(STDOUT_FILENO) ? "\rperiod analysis: %d of %d s" : "period analysis: %d of %d s\n", second,
               DURATION_S);
        fflush(stdout);
    }
    sleep_ms(200);
    if (isatty(STDOUT_FILENO)) {
        printf("\n");
    }

    /* The run is over: stopping it now (rather than waiting for the library's
     * timer, 2 s later) saves the histogram and the four curves. */
    status = ci_stop_period_analysis(session);
    printf("stop and save -> %d\n", status);

    /* The results stay with the service until the next analysis starts. */
    histogram = ci_fetch_period_processdata(session, &count);
    print_periods(histogram, count);
    ci_free_int64_data(histogram);
    adev = ci_fetch_period_stability_metric(session, 0, &count);
    if (adev != NULL && count > 0) {
        printf("ADEV: %.2g at tau %.2g s, %.2g at tau %.2g s (%d taus)\n", adev[1], adev[0], adev[2 * count - 1],
               adev[2 * count - 2], count);
    } else {
        printf("ADEV: no curve\n");
    }
    ci_free_int64_data(adev);
    printf("files: %s/stability/clock_*.csv\n", base_dir);

    ci_destroy(session);
    ci_cleanup();
    return status == 0 ? 0 : 1;
}
