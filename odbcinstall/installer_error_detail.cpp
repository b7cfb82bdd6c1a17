// The installer's own account of a failed call: up to eight records of a
// code and a message, fetched before the library that holds them goes.
#include "installer_queries.h"
#include "odbc_install.h"

typedef decltype(&SQLInstallerError) InstallerErrorFunction;

enum { INSTALLER_ERROR_RECORDS = 8, INSTALLER_MESSAGE_SIZE = 512 };

void FetchInstallerErrors(HMODULE library, InstallerErrors& errors)
{
    // A library without the function simply gives no detail.
    InstallerErrorFunction function =
        InstallerFunction<InstallerErrorFunction>(library, "SQLInstallerError");
    if (function == NULL)
        return;
    for (WORD record = 1; record <= INSTALLER_ERROR_RECORDS; ++record) {
        DWORD code = 0;
        char message[INSTALLER_MESSAGE_SIZE] = "";
        WORD length = 0;
        SQLRETURN result = function(record, &code, message, INSTALLER_MESSAGE_SIZE, &length);
        if (result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO)
            break;
        message[INSTALLER_MESSAGE_SIZE - 1] = '\0';
        errors.push_back(InstallerError{code, message});
    }
}
