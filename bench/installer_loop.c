/* The plain direct loop: libodbcinst.so.2 linked in, so loaded once, and
 * one SQLInstallDriverEx per driver (named as in install_run_bench's setup
 * file), with glibc's default malloc settings. With N = 1 it is the
 * start-up baseline.   installer_loop N */
#include <odbcinst.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    int drivers = argc > 1 ? atoi(argv[1]) : 0;
    int failed = 0;
    for (int n = 1; n <= drivers; ++n) {
        char list[200];
        char path[260];
        WORD pathLength = 0;
        DWORD usageCount = 0;
        /* NUL-separated and closed by two NULs, as velloran decodes it. */
        int length = snprintf(list, sizeof list - 1, "Bench Driver %d%cDriver=/opt/bench/libdrv%d.so%c"
                              "Setup=/opt/bench/libsetup%d.so", n, '\0', n, '\0', n);
        list[length + 1] = '\0';
        if (!SQLInstallDriverEx(list, NULL, path, sizeof path, &pathLength, ODBC_INSTALL_COMPLETE,
                                &usageCount))
            ++failed;
    }
    if (failed > 0)
        fprintf(stderr, "installer_loop: %d of %d drivers failed\n", failed, drivers);
    return failed > 0;
}
