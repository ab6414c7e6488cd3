/* Links the installed library and calls it: prints the version text and
 * checks that an unknown handle fails. Exit status 0 on success. */
#include <veltranoapi/veltranoapi.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    char version[16] = "";
    if (ci_get_sw_version(0, version, (int)sizeof version) != 0 || strcmp(version, "V1.4.0") != 0) {
        fprintf(stderr, "unexpected version \"%s\"\n", version);
        return 1;
    }
    if (ci_get_device_num(42) != -1) {
        fprintf(stderr, "an unknown handle did not fail\n");
        return 1;
    }
    printf("%s from the installed %d-bit library\n", version, (int)(sizeof(void*) * 8));
    return 0;
}
