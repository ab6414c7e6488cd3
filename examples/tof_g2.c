/*
 * tof_g2: a real measurement. Channels 1 and 2 see a correlated photon-pair
 * source (in the simulator: channel 2 fires 1500 ps after channel 1, 50 ps
 * jitter, over a background of dark counts). The program configures both
 * channels, runs a 5-second time-of-flight analysis of channel 2 against
 * channel 1 with the g2 cross-correlation, shows its progress, and stops it,
 * which saves the histogram and the g2 curve as CSV files:
 *   <base_dir>/tof/tof_counts.csv             tdiff(ps), counts
 *   <base_dir>/tof/tof_cross_correlation.csv  tdiff(ps), cross_correlation(g2)
 * It then prints the peak of both curves.
 *
 * Run against the simulator (scripts/demo.sh does this and draws the plot):
 *   build/default/sim/veltrano-sim --port 6789 &
 *   build/default/examples/tof_g2 "$PWD"/examples/service.ini out
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#define DURATION_S 5

static void sleep_ms(long ms) {
    struct timespec pause;
    pause.tv_sec = ms / 1000;
    pause.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&pause, NULL);
}

/* Index of the largest y among count (x, y) pairs. */
static int peak_of_int_pairs(const int64_t* pairs, int count) {
    int i, best = 0;
    for (i = 1; i < count; ++i) {
        if (pairs[2 * i + 1] > pairs[2 * best + 1]) {
            best = i;
        }
    }
    return best;
}

static int peak_of_double_pairs(const double* pairs, int count) {
    int i, best = 0;
    for (i = 1; i < count; ++i) {
        if (pairs[2 * i + 1] > pairs[2 * best + 1]) {
            best = i;
        }
    }
    return best;
}

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    int channel, second, status, count = 0;
    int64_t* histogram;
    double* g2;

    uint64_t session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    ci_connect(session, 1);
    for (channel = 1; channel <= 2; ++channel) {
        ci_enable_channel(session, channel);
        ci_set_dac(session, channel, 0.25);      /* threshold, V */
        ci_set_dead_time(session, channel, 2000); /* ps */
    }
    printf("channels 1 and 2: %d and %d counts/s\n", ci_get_single_cps(session, 1),
           ci_get_single_cps(session, 2));

    /* 10 ns coincidence window, no T3 records, one averaging run. */
    status = ci_tof_analysis(session, DURATION_S, 1, 2, 10000, 0, 1, "tof", "tof.csv");
    if (status != 0) {
        fprintf(stderr, "time-of-flight analysis refused: %d\n", status);
        ci_destroy(session);
        return 1;
    }
    /* g2 in 100 ps bins, singles as reference, dark counts of 1000/s taken out. */
    status = ci_set_cross_correlation_config(session, 0, 100, 1000, 1000);
    if (status != 0) {
        fprintf(stderr, "cross-correlation configuration refused: %d\n", status);
    }
    /* Progress on one updated line in a terminal, a line a second otherwise. */
    for (second = 1; second <= DURATION_S; ++second) {
        sleep_ms(1000);
        printf(isatty(STDOUT_FILENO) ? "\rtime of flight: %d of %d s" : "time of flight: %d of %d s\n", second,
               DURATION_S);
        fflush(stdout);
    }
    sleep_ms(200);
    if (isatty(STDOUT_FILENO)) {
        printf("\n");
    }

    histogram = ci_fetch_tof_processdata(session, &count);
    if (histogram != NULL && count > 0) {
        int peak = peak_of_int_pairs(histogram, count);
        printf("histogram: %d bins, peak %lld counts at %lld ps\n", count, (long long)histogram[2 * peak + 1],
               (long long)histogram[2 * peak]);
    }
    ci_free_int64_data(histogram);
    g2 = ci_fetch_cross_correlation_data(session, &count);
    if (g2 != NULL && count > 0) {
        int peak = peak_of_double_pairs(g2, count);
        printf("g2: %d points, peak %.1f at %.0f ps\n", count, g2[2 * peak + 1], g2[2 * peak]);
    }
    ci_free_int64_data(g2);

    /* Stopping saves both curves into the files prepared at the start. */
    status = ci_stop_tof_analysis(session);
    printf("stop and save -> %d\n", status);
    printf("files: %s/tof/tof_counts.csv and %s/tof/tof_cross_correlation.csv\n", base_dir, base_dir);

    ci_destroy(session);
    ci_cleanup();
    return status == 0 ? 0 : 1;
}
