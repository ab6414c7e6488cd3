/*
 * quickstart: open a session on the instrument service, ask the service to
 * link to the first device type, print the library version and close again.
 *
 * Run against the simulator (from the build directory):
 *   ./sim/veltrano-sim --port 6789 &
 *   ./examples/quickstart ../../examples/service.ini .
 * Expected output:
 *   library version V1.4.0
 *   session 1 open on the service
 *   connect(device type 1) -> 0
 *   disconnect -> 0
 */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>

int main(int argc, char** argv) {
    const char* config = argc > 1 ? argv[1] : "service.ini";
    const char* base_dir = argc > 2 ? argv[2] : ".";
    char version[32];
    uint64_t session;

    ci_get_sw_version(0, version, (int)sizeof version);
    printf("library version %s\n", version);

    session = ci_create(config, base_dir);
    if (session == 0) {
        fprintf(stderr, "cannot open a session with %s (is the service running?)\n", config);
        return 1;
    }
    printf("session %llu open on the service\n", (unsigned long long)session);
    printf("connect(device type 1) -> %d\n", ci_connect(session, 1));
    ci_info(session, "quickstart example ran");
    printf("disconnect -> %d\n", ci_disconnect(session));

    ci_destroy(session);
    ci_cleanup();
    return 0;
}
