/* Compiles the public header as C with warnings as errors and calls the
 * handle-free functions, so a declaration that only C++ accepts, or a missing
 * export, fails the build or this test. */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    char version[16];
    int64_t pairs[4] = {1, 2, -3, 4};
    char text[64];
    int n;

    if (ci_get_sw_version(0, version, (int)sizeof version) != 0 || strcmp(version, "V1.4.0") != 0) {
        fprintf(stderr, "unexpected version text\n");
        return 1;
    }
    n = ci_int64_pairs_to_string(text, (int)sizeof text, pairs, 2);
    if (n != 9 || strcmp(text, "1,2\n-3,4\n") != 0) {
        fprintf(stderr, "unexpected pair text (%d)\n", n);
        return 1;
    }
    if (ci_create(NULL, NULL) != 0 || ci_connect(0, 1) != -1) {
        fprintf(stderr, "failure values differ\n");
        return 1;
    }
    ci_destroy(0);
    ci_cleanup();
    ci_free_int64_data(NULL);
    puts("public header usable from C");
    return 0;
}
