/*
 * windows_measurement: the library on Windows. The program takes its
 * arguments as UTF-16 from Windows and hands them to the library as UTF-8,
 * so a base folder with any characters works (by default "Messung-µs-测试"
 * in the current folder). It opens a session there, reads the channel count,
 * records 2 seconds of raw time tags into local volume files and runs a
 * 3-second time-of-flight analysis of channel 2 against channel 1, which saves
 * its CSV files when it is stopped. Everything goes under the base folder:
 *   <base>\raw\run.bin, run_1.bin, ...   raw time tags, 16 bytes each
 *   <base>\tof\tof_counts.csv            tdiff(ps), counts
 *   <base>\log\veltranoapi.log           the library's log
 * The header line of a CSV file ends in a line feed, its data lines in
 * carriage return and line feed.
 *
 * Build with the mingw cross compiler against the import library (the win64
 * preset builds it as build/win64/bin/windows_measurement.exe) and run it
 * under wine against the Linux simulator:
 *   build/default/sim/veltrano-sim --port 6789 &
 *   WINEPREFIX=$PWD/build/win64/wineprefix /usr/lib/wine/wine64 \
 *       build/win64/bin/windows_measurement.exe examples/service.ini
 * Expected output (counts vary):
 *   base folder C:\...\Messung-µs-测试 (as UTF-8)
 *   channels: 8
 *   raw acquisition of 2 s -> 0
 *   time of flight -> 0
 *   stop and save -> 0
 */
#include <veltranoapi/veltranoapi.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#define TOF_SECONDS 3

/* A wide text as a UTF-8 text the caller frees. */
static char* to_utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* utf8 = bytes > 0 ? (char*)malloc((size_t)bytes) : NULL;
    if (utf8 != NULL) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, NULL, NULL);
    }
    return utf8;
}

/* The absolute form of a path, as UTF-8: ci_create reads a relative INI path
 * from inside the base folder, this program takes it from the current one. */
static char* absolute_utf8(const wchar_t* path) {
    wchar_t full[MAX_PATH];
    DWORD length = GetFullPathNameW(path, MAX_PATH, full, NULL);
    return length > 0 && length < MAX_PATH ? to_utf8(full) : NULL;
}

int main(void) {
    int argc = 0, status, channels;
    bool processing = true;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    char* config = absolute_utf8(argc > 1 ? argv[1] : L"service.ini");
    char* base_dir = to_utf8(argc > 2 ? argv[2] : L"Messung-\u00B5s-\u6D4B\u8BD5");
    uint64_t session;
    LocalFree(argv);
    if (config == NULL || base_dir == NULL) {
        return 1;
    }

    session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    printf("base folder %s\n", base_dir);
    ci_connect(session, 1);
    channels = ci_get_channel_num(session);
    printf("channels: %d\n", channels);

    /* 16-byte time tags (format 0) into "raw" under the base folder. */
    ci_set_acq_dataformat(session, 0);
    status = ci_acq_rawdata_local(session, 0, 2, "raw", "run.bin", 1, 0);
    printf("raw acquisition of 2 s -> %d\n", status);
    if (status == 0) {
        Sleep(2000);
        while (processing && ci_is_rawdata_processing(session, &processing) == 0) {
            Sleep(100);
        }
        /* The library fetches what the service still holds; after 50 empty
           fetches it ends its stream thread (a line in its log). */
        Sleep(1000);
        ci_stop_acq(session);
    }

    ci_enable_channel(session, 1);
    ci_enable_channel(session, 2);
    status = ci_tof_analysis(session, TOF_SECONDS, 1, 2, 10000, 0, 1, "tof", "tof.csv");
    printf("time of flight -> %d\n", status);
    if (status == 0) {
        Sleep(TOF_SECONDS * 1000 + 200);
        status = ci_stop_tof_analysis(session);
        printf("stop and save -> %d\n", status);
    }

    ci_destroy(session);
    ci_cleanup();
    free(config);
    free(base_dir);
    return status == 0 && channels > 0 ? 0 : 1;
}
