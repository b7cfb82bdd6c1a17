/*
 * A generic data-source setup library: the ConfigDSN that a driver's Setup=
 * entry can name when the driver ships none of its own. It adds, changes and
 * removes a user or a system data source, as the installer's configuration
 * mode says, through the installer's own profile functions, and never shows
 * a dialog (the parent window is ignored).
 */
#include "installer.h"

#include <string.h>

/* The longest driver name, keyword or value accepted: unixODBC's profile
 * code overruns its buffers on a value of 1000 bytes or more. */
enum { TEXT_MAX = 999 };

static const char ODBC_INI[] = "ODBC.INI";

typedef struct {
    DWORD code;
    const char* message;
} Failure;

static const Failure SUCCEEDED = {0, NULL};

static Failure Fail(DWORD code, const char* message)
{
    Failure failure = {code, message};
    return failure;
}

/* Whether the `length` bytes at `a` spell `b`, ignoring ASCII case as the
 * installer does for keywords. */
static int SameName(const char* a, const char* b, size_t length)
{
    size_t i;
    for (i = 0; i < length; ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? (char)(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? (char)(b[i] - 'a' + 'A') : b[i];
        if (x != y || x == '\0')
            return 0;
    }
    return b[length] == '\0';
}

/* Whether `element` ("key=value") has the keyword `name`. */
static int HasKey(const char* element, const char* name)
{
    return SameName(element, name, (size_t)(strchr(element, '=') - element));
}

/* A line break would start a new line, or a section, in odbc.ini. */
static int HasLineBreak(const char* text, size_t length)
{
    return memchr(text, '\n', length) != NULL || memchr(text, '\r', length) != NULL;
}

/* Checks every element of the list before anything is written, and finds
 * the data source's name: the value of the first DSN= element. */
static Failure CheckAttributes(const char* list, const char** dsn)
{
    const char* element;
    *dsn = NULL;
    for (element = list; element != NULL && *element != '\0'; element += strlen(element) + 1) {
        const char* equals = strchr(element, '=');
        size_t keyLength = equals != NULL ? (size_t)(equals - element) : 0;
        size_t length = strlen(element);
        if (equals == NULL || keyLength == 0)
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "An attribute is not keyword=value.");
        if (keyLength > TEXT_MAX || length - keyLength - 1 > TEXT_MAX)
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "An attribute is too long.");
        if (HasLineBreak(element, length))
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "An attribute holds a line break.");
        if (*dsn == NULL && HasKey(element, "DSN"))
            *dsn = equals + 1;
    }
    if (*dsn == NULL)
        return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "The attributes name no DSN.");
    if (!SQLValidDSN(*dsn))
        return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "The data source name is not valid.");
    return SUCCEEDED;
}

/* A data source is a section with keys: the installer can list a section's
 * keys, and SQLWriteDSNToIni always writes one (Driver). */
static BOOL DataSourceExists(const char* dsn)
{
    char keys[256] = "";
    return SQLGetPrivateProfileString(dsn, NULL, "", keys, (int)sizeof keys, ODBC_INI) > 0 &&
           keys[0] != '\0';
}

/* Writes every attribute but DSN and Driver: the data source's name is its
 * section, and its driver is the one the installer handed the request for. */
static BOOL WriteAttributes(const char* dsn, const char* list)
{
    const char* element;
    char key[TEXT_MAX + 1];
    for (element = list; element != NULL && *element != '\0'; element += strlen(element) + 1) {
        size_t keyLength = (size_t)(strchr(element, '=') - element);
        if (HasKey(element, "DSN") || HasKey(element, "Driver"))
            continue;
        memcpy(key, element, keyLength);
        key[keyLength] = '\0';
        if (!SQLWritePrivateProfileString(dsn, key, element + keyLength + 1, ODBC_INI))
            return FALSE;
    }
    return TRUE;
}

static Failure AddDataSource(const char* dsn, const char* driver, const char* list, BOOL system)
{
    if (system && !EnsureSystemDataSourceFile())
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot create the system data-source file.");
    /* This replaces a data source of the same name, as adding again should. */
    if (!SQLWriteDSNToIni(dsn, driver))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source.");
    if (!WriteAttributes(dsn, list)) {
        /* No half-written data source is left behind. */
        SQLRemoveDSNFromIni(dsn);
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source's attributes.");
    }
    return SUCCEEDED;
}

static Failure ConfigureDataSource(const char* dsn, const char* list)
{
    if (!DataSourceExists(dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "The data source does not exist.");
    if (!WriteAttributes(dsn, list))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source's attributes.");
    return SUCCEEDED;
}

static Failure RemoveDataSource(const char* dsn)
{
    if (!DataSourceExists(dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "The data source does not exist.");
    if (!SQLRemoveDSNFromIni(dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot remove the data source.");
    return SUCCEEDED;
}

static Failure Perform(WORD request, const char* driver, const char* list, BOOL system)
{
    const char* dsn = NULL;
    Failure failure;
    if (request != ODBC_ADD_DSN && request != ODBC_CONFIG_DSN && request != ODBC_REMOVE_DSN)
        return Fail(ODBC_ERROR_INVALID_REQUEST_TYPE, "Unknown request.");
    if (driver == NULL || driver[0] == '\0' || strlen(driver) > TEXT_MAX)
        return Fail(ODBC_ERROR_INVALID_NAME, "No valid driver name.");
    failure = CheckAttributes(list, &dsn);
    if (failure.code != 0)
        return failure;
    if (request == ODBC_ADD_DSN)
        return AddDataSource(dsn, driver, list, system);
    if (request == ODBC_CONFIG_DSN)
        return ConfigureDataSource(dsn, list);
    return RemoveDataSource(dsn);
}

BOOL INSTAPI ConfigDSN(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver, LPCSTR lpszAttributes)
{
    UWORD mode = ODBC_BOTH_DSN;
    BOOL system;
    Failure failure;
    (void)hwndParent;
    if (!SQLGetConfigMode(&mode))
        mode = ODBC_BOTH_DSN;
    /* "Both" means the user's own file for writes; reads are held to the
     * same file, so "exists" means where the change would go. */
    system = mode == ODBC_SYSTEM_DSN;
    SQLSetConfigMode(system ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
    failure = Perform(fRequest, lpszDriver, lpszAttributes, system);
    SQLSetConfigMode(mode);
    /* Posted last: the installer's other functions clear its error queue. */
    if (failure.code != 0) {
        SQLPostInstallerError(failure.code, failure.message);
        return FALSE;
    }
    return TRUE;
}
