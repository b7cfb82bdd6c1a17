/*
 * A stand-in for the ODBC installer library, for black-box runs of the
 * program. It records every load, unload and call, with its arguments, in
 * the file named by VELLORAN_FAKE_LOG, one line each, and fails the calls
 * that VELLORAN_FAKE_FAIL names:
 *
 *   VELLORAN_FAKE_FAIL=SQLInstallDriverEx#2,SQLConfigDataSource#*
 *
 * fails the second SQLInstallDriverEx call and every SQLConfigDataSource
 * call. Calls are numbered per function from the log, since the library is
 * unloaded between calls and keeps no count of its own.
 *
 * SQLInstallerError gives one record, code 1 (general error), whose message
 * is VELLORAN_FAKE_ERROR, and no record when that is unset; each call of it
 * is recorded too. VELLORAN_FAKE_ERROR=echo gives the failed call's list
 * instead, elements joined by ';', as an installer that quotes what it
 * refused.
 *
 * Built with FAKE_WITHOUT_CONFIG_DATA_SOURCE it lacks SQLConfigDataSource
 * and SQLInstallerError.
 */
#ifdef _WIN32
#include <windows.h>
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT
#endif
#include <odbcinst.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The program's attribute-list buffers hold 1000 bytes; reading further
 * could run past them. */
enum { LIST_LIMIT = 1000 };

static FILE* OpenLog(void)
{
    const char* name = getenv("VELLORAN_FAKE_LOG");
    return name != NULL && name[0] != '\0' ? fopen(name, "ab") : NULL;
}

static void RecordEvent(const char* event)
{
    FILE* log = OpenLog();
    if (log == NULL)
        return;
    fprintf(log, "%s\n", event);
    fclose(log);
}

/* This call's number among the calls of its function in the log. Every
 * call follows a "load" line, so each is found after a line break. */
static unsigned CallNumber(const char* function)
{
    const char* name = getenv("VELLORAN_FAKE_LOG");
    FILE* log = name != NULL && name[0] != '\0' ? fopen(name, "rb") : NULL;
    size_t length = strlen(function), matched = 0;
    unsigned count = 1;
    int c;
    while (log != NULL && (c = fgetc(log)) != EOF) {
        /* matched: 1 after a line break, 1 + n after n characters of the name */
        if (matched > 0 && matched <= length && c == function[matched - 1]) {
            ++matched;
        } else {
            count += matched == length + 1 && c == '#';
            matched = c == '\n';
        }
    }
    if (log != NULL)
        fclose(log);
    return count;
}

/* Items are "<function>#<number>" or "<function>#*", separated by commas. */
static int ShouldFail(const char* function, unsigned number)
{
    const char* item = getenv("VELLORAN_FAKE_FAIL");
    size_t length = strlen(function);
    while (item != NULL && *item != '\0') {
        const char* end = strchr(item, ',');
        if (end == NULL)
            end = item + strlen(item);
        if ((size_t)(end - item) > length + 1 && strncmp(item, function, length) == 0 &&
            item[length] == '#') {
            const char* which = item + length + 1;
            size_t digits = strspn(which, "0123456789");
            if (*which == '*' && which + 1 == end)
                return 1;
            if (which + digits == end && strtoul(which, NULL, 10) == number)
                return 1;
        }
        item = *end == ',' ? end + 1 : end;
    }
    return 0;
}

static void WriteByte(FILE* log, unsigned char c)
{
    if (c == '\0')
        fputs("\\0", log);
    else if (c == '\\' || c == '"')
        fprintf(log, "\\%c", c);
    else if (c < 0x20 || c > 0x7e)
        fprintf(log, "\\x%02x", c);
    else
        fputc(c, log);
}

/* A string up to its NUL, or a list in full, up to the NUL pair that
 * closes it. */
static void WriteText(FILE* log, const char* label, const char* text, int list)
{
    int i;
    fprintf(log, " %s=", label);
    if (text == NULL) {
        fputs("NULL", log);
        return;
    }
    fputc('"', log);
    for (i = 0; i < LIST_LIMIT && (list || text[i] != '\0'); ++i) {
        WriteByte(log, (unsigned char)text[i]);
        if (i > 0 && text[i] == '\0' && text[i - 1] == '\0')
            break;
    }
    fputc('"', log);
    if (list && i == LIST_LIMIT)
        fputs(" [not closed within 1000 bytes]", log);
}

static const char* Presence(const void* pointer)
{
    return pointer != NULL ? "non-NULL" : "NULL";
}

static FILE* StartCall(const char* function, unsigned number)
{
    FILE* log = OpenLog();
    if (log != NULL)
        fprintf(log, "%s#%u", function, number);
    return log;
}

static BOOL EndCall(FILE* log, BOOL result)
{
    if (log != NULL) {
        fprintf(log, " -> %s\n", result ? "TRUE" : "FALSE");
        fclose(log);
    }
    return result;
}

/* Something in every output, so a caller relying on them would show. */
static void FillOutputs(LPSTR path, WORD pathMax, WORD* pathLength, LPDWORD usageCount)
{
    static const char fakePath[] = "/fake/installer/path";
    if (path != NULL && pathMax > 0) {
        size_t length = strlen(fakePath) < pathMax ? strlen(fakePath) : (size_t)pathMax - 1;
        memcpy(path, fakePath, length);
        path[length] = '\0';
    }
    if (pathLength != NULL)
        *pathLength = (WORD)strlen(fakePath);
    if (usageCount != NULL)
        *usageCount = 42;
}

/* The list of the last call, for an error message that echoes it. */
static char LastList[LIST_LIMIT + 1];

static void KeepList(LPCSTR list)
{
    size_t i;
    for (i = 0; list != NULL && i < LIST_LIMIT && !(list[i] == '\0' && (i == 0 || list[i - 1] == '\0'));
         ++i)
        LastList[i] = list[i] == '\0' ? ';' : list[i];
    LastList[i] = '\0';
}

static BOOL InstallComponent(const char* function, LPCSTR spec, LPCSTR pathIn, LPSTR pathOut,
                             WORD pathMax, WORD* pathLength, WORD request, LPDWORD usageCount)
{
    unsigned number = CallNumber(function);
    FILE* log = StartCall(function, number);
    if (log != NULL) {
        WriteText(log, "spec", spec, 1);
        WriteText(log, "path_in", pathIn, 0);
        fprintf(log, " path_out=%s path_max=%u path_len=%s request=%u usage=%s",
                Presence(pathOut), (unsigned)pathMax, Presence(pathLength), (unsigned)request,
                Presence(usageCount));
    }
    FillOutputs(pathOut, pathMax, pathLength, usageCount);
    KeepList(spec);
    return EndCall(log, !ShouldFail(function, number));
}

FAKE_EXPORT BOOL INSTAPI SQLInstallDriverManager(LPSTR path, WORD pathMax, WORD* pathLength)
{
    unsigned number = CallNumber("SQLInstallDriverManager");
    FILE* log = StartCall("SQLInstallDriverManager", number);
    if (log != NULL)
        fprintf(log, " path_out=%s path_max=%u path_len=%s", Presence(path), (unsigned)pathMax,
                Presence(pathLength));
    FillOutputs(path, pathMax, pathLength, NULL);
    return EndCall(log, !ShouldFail("SQLInstallDriverManager", number));
}

FAKE_EXPORT BOOL INSTAPI SQLInstallTranslatorEx(LPCSTR spec, LPCSTR pathIn, LPSTR pathOut,
                                                WORD pathMax, WORD* pathLength, WORD request,
                                                LPDWORD usageCount)
{
    return InstallComponent("SQLInstallTranslatorEx", spec, pathIn, pathOut, pathMax, pathLength,
                            request, usageCount);
}

FAKE_EXPORT BOOL INSTAPI SQLInstallDriverEx(LPCSTR spec, LPCSTR pathIn, LPSTR pathOut,
                                            WORD pathMax, WORD* pathLength, WORD request,
                                            LPDWORD usageCount)
{
    return InstallComponent("SQLInstallDriverEx", spec, pathIn, pathOut, pathMax, pathLength,
                            request, usageCount);
}

#ifndef FAKE_WITHOUT_CONFIG_DATA_SOURCE
FAKE_EXPORT BOOL INSTAPI SQLConfigDataSource(HWND parent, WORD request, LPCSTR driver,
                                             LPCSTR attributes)
{
    unsigned number = CallNumber("SQLConfigDataSource");
    FILE* log = StartCall("SQLConfigDataSource", number);
    if (log != NULL) {
        fprintf(log, " hwnd=%s request=%u", Presence(parent), (unsigned)request);
        WriteText(log, "driver", driver, 0);
        WriteText(log, "attributes", attributes, 1);
    }
    KeepList(attributes);
    return EndCall(log, !ShouldFail("SQLConfigDataSource", number));
}

FAKE_EXPORT SQLRETURN INSTAPI SQLInstallerError(WORD record, DWORD* code, LPSTR message,
                                               WORD messageMax, WORD* messageLength)
{
    const char* text = getenv("VELLORAN_FAKE_ERROR");
    int found;
    if (text != NULL && strcmp(text, "echo") == 0)
        text = LastList;
    found = record == 1 && text != NULL && text[0] != '\0';
    FILE* log = StartCall("SQLInstallerError", CallNumber("SQLInstallerError"));
    if (log != NULL) {
        fprintf(log, " record=%u -> %s\n", (unsigned)record, found ? "SQL_SUCCESS" : "SQL_NO_DATA");
        fclose(log);
    }
    if (!found)
        return SQL_NO_DATA;
    if (code != NULL)
        *code = ODBC_ERROR_GENERAL_ERR;
    if (message != NULL && messageMax > 0) {
        size_t length = strlen(text) < messageMax ? strlen(text) : (size_t)messageMax - 1;
        memcpy(message, text, length);
        message[length] = '\0';
    }
    if (messageLength != NULL)
        *messageLength = (WORD)strlen(text);
    return SQL_SUCCESS;
}
#endif

/* Load and unload show whether the caller really releases the library. */
#ifdef _WIN32
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        RecordEvent("load");
    else if (reason == DLL_PROCESS_DETACH)
        RecordEvent("unload");
    return TRUE;
}
#else
__attribute__((constructor)) static void RecordLoad(void)
{
    RecordEvent("load");
}

__attribute__((destructor)) static void RecordUnload(void)
{
    RecordEvent("unload");
}
#endif
