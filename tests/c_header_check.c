/* Compiles the public header as C99 with warnings as errors (the header's
 * layout assertions need C11 and are left out there) and calls one export,
 * so a declaration that only C11 or C++ accepts fails the build. Every export
 * is called from C11 by abi/all_exports.c. */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    char version[16];

    if (ci_get_sw_version(0, version, (int)sizeof version) != 0 || strncmp(version, "V", 1) != 0) {
        fprintf(stderr, "unexpected version text\n");
        return 1;
    }
    puts("public header usable from C99");
    return 0;
}
