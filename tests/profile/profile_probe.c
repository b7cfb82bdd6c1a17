/* Runs the profile case table against whatever GetPrivateProfileStringA and
 * GetPrivateProfileIntA it is linked with (the Windows ones, under Wine or
 * Windows) and prints every row with the answers actually seen, so the table
 * can be checked or refilled from the real API.
 *
 *   x86_64-w64-mingw32-gcc -o probe.exe profile_probe.c
 *   wine probe.exe Z:\tmp\probe-files      (the folder must not exist)
 *
 * The windows preset builds it, and its wine.ProfileTable test runs it in
 * the session's Wine prefix: exit code 0 only when every row matches.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#ifndef PROFILE_CASES
#define PROFILE_CASES "profile_cases.inc"
#endif

enum { CASE_FILE, CASE_NO_FILE, CASE_NO_FOLDER, CASE_DIRECTORY };

struct ProbeFile {
    const char* id;
    const char* text;
    size_t length;
    int kind;
};

static const struct ProbeFile FILES[] = {
#define PROFILE_CASE_FILE(id, text, length, kind) {id, text, length, kind},
#include "profile_files.inc"
#undef PROFILE_CASE_FILE
};

static char folder[MAX_PATH];
static int mismatches;

static void PrintLiteral(const char* text, size_t length)
{
    size_t i;
    int afterHex = 0;
    if (text == NULL) {
        printf("NULL");
        return;
    }
    putchar('"');
    for (i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)text[i];
        int hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (afterHex && hex)
            printf("\" \"");
        afterHex = 0;
        if (c == '"' || c == '\\')
            printf("\\%c", c);
        else if (c == '\r')
            printf("\\r");
        else if (c == '\n')
            printf("\\n");
        else if (c == '\t')
            printf("\\t");
        else if (c < ' ' || c >= 0x7f) {
            printf("\\x%02x", c);
            afterHex = 1;
        } else
            putchar(c);
    }
    putchar('"');
}

static void PathOf(const char* id, char* path)
{
    size_t i;
    for (i = 0; i < sizeof FILES / sizeof FILES[0]; ++i) {
        if (strcmp(FILES[i].id, id) == 0) {
            /* A missing folder is named like the id, the file inside it. */
            sprintf(path, FILES[i].kind == CASE_NO_FOLDER ? "%s\\%s\\x.ini" : "%s\\%s.ini", folder, id);
            return;
        }
    }
    fprintf(stderr, "unknown file %s\n", id);
    ExitProcess(2);
}

static void ProbeString(const char* id, const char* section, const char* key,
                        const char* fallback, DWORD size, const char* expected,
                        size_t expectedLength, DWORD expectedReturn)
{
    char path[MAX_PATH];
    char buffer[2048];
    DWORD returned;
    size_t length;
    PathOf(id, path);
    memset(buffer, '#', sizeof buffer);
    returned = GetPrivateProfileStringA(section, key, fallback, buffer, size, path);
    /* A missing NUL shows as a value of the full size. */
    length = memchr(buffer, '\0', size) != NULL ? strlen(buffer) : size;
    if (returned != expectedReturn || length != expectedLength ||
        memcmp(buffer, expected, length) != 0 || buffer[size] != '#') {
        ++mismatches;
        printf("/* was ");
        PrintLiteral(expected, expectedLength);
        printf(" %lu */ ", (unsigned long)expectedReturn);
    }
    printf("PROFILE_STRING(%s, ", id);
    PrintLiteral(section, section ? strlen(section) : 0);
    printf(", ");
    PrintLiteral(key, key ? strlen(key) : 0);
    printf(", ");
    PrintLiteral(fallback, fallback ? strlen(fallback) : 0);
    printf(", %lu, ", (unsigned long)size);
    PrintLiteral(buffer, length);
    printf(", %lu)\n", (unsigned long)returned);
}

static void ProbeInt(const char* id, const char* section, const char* key, int fallback,
                     UINT expected)
{
    char path[MAX_PATH];
    UINT returned;
    PathOf(id, path);
    returned = GetPrivateProfileIntA(section, key, fallback, path);
    if (returned != expected) {
        ++mismatches;
        printf("/* was %uu */ ", expected);
    }
    printf("PROFILE_INT(%s, ", id);
    PrintLiteral(section, strlen(section));
    printf(", ");
    PrintLiteral(key, strlen(key));
    printf(", %d, %uu)\n", fallback, returned);
}

int main(int argc, char** argv)
{
    size_t i;
    if (argc != 2 || !CreateDirectoryA(argv[1], NULL)) {
        fprintf(stderr, "usage: profile_probe NEW-FOLDER\n");
        return 2;
    }
    strcpy(folder, argv[1]);
    for (i = 0; i < sizeof FILES / sizeof FILES[0]; ++i) {
        char path[MAX_PATH];
        FILE* file;
        PathOf(FILES[i].id, path);
        if (FILES[i].kind == CASE_DIRECTORY)
            CreateDirectoryA(path, NULL);
        if (FILES[i].kind != CASE_FILE)
            continue;
        file = fopen(path, "wb");
        if (file == NULL || fwrite(FILES[i].text, 1, FILES[i].length, file) != FILES[i].length ||
            fclose(file) != 0) {
            fprintf(stderr, "cannot write %s\n", path);
            return 2;
        }
    }

#define PROFILE_FILE(id, text)
#define PROFILE_NO_FILE(id)
#define PROFILE_NO_FOLDER(id)
#define PROFILE_DIRECTORY(id)
#define PROFILE_STRING(id, section, key, fallback, size, expected, returned) \
    ProbeString(#id, section, key, fallback, size, expected, sizeof expected - 1, returned);
#define PROFILE_INT(id, section, key, fallback, expected) \
    ProbeInt(#id, section, key, fallback, expected);
#include PROFILE_CASES

    printf("%d mismatches\n", mismatches);
    return mismatches != 0;
}
