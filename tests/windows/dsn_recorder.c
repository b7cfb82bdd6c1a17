/*
 * A driver's data-source setup library for the Wine tests: its ConfigDSN
 * appends one line per call to the file named by VELLORAN_SETUP_LOG, with
 * the request, driver and attribute list as the installer hands them on and
 * the installer's configuration mode at that moment, and succeeds:
 *
 *   ConfigDSN hwnd=NULL request=1 mode=2 driver="D" attributes="DSN=a\0\0"
 *
 * Only ConfigDSN is exported, so the installer takes the ANSI path.
 */
#include <windows.h>
#include <odbcinst.h>

#include <stdio.h>
#include <stdlib.h>

static void WriteList(FILE* log, const char* list)
{
    int i;
    if (list == NULL) {
        fputs("NULL", log);
        return;
    }
    fputc('"', log);
    /* Up to the NUL pair, bounded like the program's own buffers. */
    for (i = 0; i < 1000; ++i) {
        if (list[i] == '\0')
            fputs("\\0", log);
        else
            fputc(list[i], log);
        if (i > 0 && list[i] == '\0' && list[i - 1] == '\0')
            break;
    }
    fputc('"', log);
}

__declspec(dllexport) BOOL WINAPI ConfigDSN(HWND parent, WORD request, LPCSTR driver,
                                            LPCSTR attributes)
{
    const char* name = getenv("VELLORAN_SETUP_LOG");
    UWORD mode = 0;
    FILE* log = name != NULL ? fopen(name, "ab") : NULL;
    BOOL known = SQLGetConfigMode(&mode);
    if (log == NULL)
        return FALSE;
    fprintf(log, "ConfigDSN hwnd=%s request=%u mode=%u driver=\"%s\" attributes=",
            parent != NULL ? "non-NULL" : "NULL", (unsigned)request, known ? (unsigned)mode : 0u,
            driver != NULL ? driver : "(NULL)");
    WriteList(log, attributes);
    fputc('\n', log);
    fclose(log);
    return TRUE;
}
