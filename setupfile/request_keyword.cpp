// The data-source request keywords and the codes they stand for.
#include "setup_file.h"

const RequestKeyword RequestKeywords[REQUEST_KEYWORD_COUNT] = {
    {"ODBC_ADD_DSN", ODBC_ADD_DSN},
    {"ODBC_CONFIG_DSN", ODBC_CONFIG_DSN},
    {"ODBC_REMOVE_DSN", ODBC_REMOVE_DSN},
    {"ODBC_ADD_SYS_DSN", ODBC_ADD_SYS_DSN},
    {"ODBC_CONFIG_SYS_DSN", ODBC_CONFIG_SYS_DSN},
    {"ODBC_REMOVE_SYS_DSN", ODBC_REMOVE_SYS_DSN},
};

// Exact match only: a keyword in another case is not recognised.
WORD MapRequestKeyword(LPCSTR keyword)
{
    for (const auto& entry : RequestKeywords) {
        if (lstrcmpA(keyword, entry.keyword) == 0)
            return entry.request;
    }
    return ODBC_ADD_DSN;
}
