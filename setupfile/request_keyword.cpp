// The data-source request keywords and the codes they stand for.
#include "setup_file.h"

const RequestKeyword REQUEST_KEYWORDS[REQUEST_KEYWORD_COUNT] = {
    {"ODBC_ADD_DSN", ODBC_ADD_DSN},
    {"ODBC_CONFIG_DSN", ODBC_CONFIG_DSN},
    {"ODBC_REMOVE_DSN", ODBC_REMOVE_DSN},
    {"ODBC_ADD_SYS_DSN", ODBC_ADD_SYS_DSN},
    {"ODBC_CONFIG_SYS_DSN", ODBC_CONFIG_SYS_DSN},
    {"ODBC_REMOVE_SYS_DSN", ODBC_REMOVE_SYS_DSN},
};

LPCSTR RequestKeywordName(WORD request)
{
    for (const auto& entry : REQUEST_KEYWORDS) {
        if (entry.request == request)
            return entry.keyword;
    }
    return "?";
}

// Exact match only: a keyword in another case is not recognised.
WORD MapRequestKeyword(LPCSTR keyword)
{
    for (const auto& entry : REQUEST_KEYWORDS) {
        if (lstrcmpA(keyword, entry.keyword) == 0)
            return entry.request;
    }
    return ODBC_ADD_DSN;
}

BOOL IsSystemRequest(WORD request)
{
    return request == ODBC_ADD_SYS_DSN || request == ODBC_CONFIG_SYS_DSN ||
           request == ODBC_REMOVE_SYS_DSN;
}
