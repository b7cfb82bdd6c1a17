/*
 * A generic data-source setup library: the ConfigDSN that a driver's Setup=
 * entry can name when the driver ships none of its own. It adds, changes and
 * removes a user or a system data source, as the installer's configuration
 * mode says, in the store the platform's data_source_store.c gives, and
 * never shows a dialog (the parent window is ignored).
 */
#include "ascii_letters.h"
#include "data_source_store.h"

#include <string.h>

/* The longest line, its line end included, that unixODBC reads back whole:
 * it reads its files with fgets into a 1,000-byte buffer, and writes each
 * attribute as "keyword=value\n" (the driver as "Driver=name\n"). A longer
 * line is cut, and its rest read as a keyword of its own. The registry has
 * no such limit, but the same rule holds on Windows: a data source stored
 * on one platform then fits the other, and a setup file's lists (999
 * characters, DSN= included) never reach it. */
enum { LINE_MAX_BYTES = 999 };

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
        if (b[i] == '\0' || LowerAsciiLetter(a[i]) != LowerAsciiLetter(b[i]))
            return 0;
    }
    return b[length] == '\0';
}

/* Whether `element` ("key=value") has the keyword `name`. */
static int HasKey(const char* element, const char* name)
{
    return SameName(element, name, (size_t)(strchr(element, '=') - element));
}

/* Whether "keyword=value\n" fits on one line unixODBC reads back whole. */
static int FitsOnOneLine(size_t keyLength, size_t valueLength)
{
    return keyLength + valueLength + 2 <= LINE_MAX_BYTES;
}

/* A line break would start a new line, or a section, in odbc.ini. */
static int HasLineBreak(const char* text, size_t length)
{
    return memchr(text, '\n', length) != NULL || memchr(text, '\r', length) != NULL;
}

/* Whether unixODBC would read the keyword back as it was written: a line
 * that starts with '[' is a section, one that starts with ';' or '#' a
 * comment, and a section's name ends at ']'. The keyword ends at the
 * element's first '=', so it never holds one; the value after it is free
 * text. */
static int IsStorableKeyword(const char* key, size_t length)
{
    return key[0] != '[' && key[0] != ';' && key[0] != '#' && memchr(key, '[', length) == NULL &&
           memchr(key, ']', length) == NULL;
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
        if (!FitsOnOneLine(keyLength, length - keyLength - 1))
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE,
                        "An attribute's keyword and value are over 997 bytes together.");
        if (HasLineBreak(element, length))
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "An attribute holds a line break.");
        if (!IsStorableKeyword(element, keyLength))
            return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE,
                        "An attribute's keyword starts with '[', ';' or '#', or holds '[' or ']'.");
        if (*dsn == NULL && HasKey(element, "DSN"))
            *dsn = equals + 1;
    }
    if (*dsn == NULL)
        return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "The attributes name no DSN.");
    /* A bracket would end or start a section in the data-source file. */
    if (strchr(*dsn, '[') != NULL || strchr(*dsn, ']') != NULL)
        return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "The data source name holds '[' or ']'.");
    if (!SQLValidDSN(*dsn))
        return Fail(ODBC_ERROR_INVALID_KEYWORD_VALUE, "The data source name is not valid.");
    return SUCCEEDED;
}

/* Everything about the request that can be checked before the installer's
 * files are looked at. */
static Failure CheckRequest(WORD request, const char* driver, const char* list, const char** dsn)
{
    if (request != ODBC_ADD_DSN && request != ODBC_CONFIG_DSN && request != ODBC_REMOVE_DSN)
        return Fail(ODBC_ERROR_INVALID_REQUEST_TYPE, "Unknown request.");
    if (driver == NULL || driver[0] == '\0' || !FitsOnOneLine(strlen("Driver"), strlen(driver)))
        return Fail(ODBC_ERROR_INVALID_NAME, "No valid driver name.");
    return CheckAttributes(list, dsn);
}

/* Writes every attribute but DSN and Driver: the data source's name is its
 * section, and its driver is the one the installer handed the request for. */
static BOOL WriteAttributes(const DataSourceStore* store, const char* dsn, const char* list)
{
    const char* element;
    char key[LINE_MAX_BYTES];
    for (element = list; element != NULL && *element != '\0'; element += strlen(element) + 1) {
        size_t keyLength = (size_t)(strchr(element, '=') - element);
        if (HasKey(element, "DSN") || HasKey(element, "Driver"))
            continue;
        memcpy(key, element, keyLength);
        key[keyLength] = '\0';
        if (!WriteDataSourceAttribute(store, dsn, key, element + keyLength + 1))
            return FALSE;
    }
    return TRUE;
}

static Failure AddRequest(const DataSourceStore* store, const char* dsn, const char* driver,
                          const char* list)
{
    /* This replaces a data source of the same name, as adding again should. */
    if (!WriteDataSource(store, dsn, driver))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source.");
    if (!WriteAttributes(store, dsn, list)) {
        /* No half-written data source is left behind. */
        RemoveDataSource(store, dsn);
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source's attributes.");
    }
    return SUCCEEDED;
}

static Failure ConfigureRequest(const DataSourceStore* store, const char* dsn, const char* list)
{
    if (!DataSourceExists(store, dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "The data source does not exist.");
    if (!WriteAttributes(store, dsn, list))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write the data source's attributes.");
    return SUCCEEDED;
}

static Failure RemoveRequest(const DataSourceStore* store, const char* dsn)
{
    if (!DataSourceExists(store, dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "The data source does not exist.");
    if (!RemoveDataSource(store, dsn))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot remove the data source.");
    return SUCCEEDED;
}

static Failure Perform(WORD request, const char* driver, const char* list)
{
    const char* dsn = NULL;
    const char* unavailable;
    DataSourceStore store;
    Failure failure = CheckRequest(request, driver, list, &dsn);
    if (failure.code != 0)
        return failure;
    unavailable = OpenDataSourceStore(&store);
    if (unavailable != NULL)
        return Fail(ODBC_ERROR_REQUEST_FAILED, unavailable);
    if (request == ODBC_ADD_DSN)
        failure = AddRequest(&store, dsn, driver, list);
    else if (request == ODBC_CONFIG_DSN)
        failure = ConfigureRequest(&store, dsn, list);
    else
        failure = RemoveRequest(&store, dsn);
    CloseDataSourceStore(&store);
    return failure;
}

BOOL INSTAPI ConfigDSN(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver, LPCSTR lpszAttributes)
{
    Failure failure = Perform(fRequest, lpszDriver, lpszAttributes);
    (void)hwndParent;
    /* Posted last: the installer's other functions clear its error queue. */
    if (failure.code != 0) {
        SQLPostInstallerError(failure.code, failure.message);
        return FALSE;
    }
    return TRUE;
}
