// unixODBC trims with isspace(); the registry keeps what Windows' installer
// was handed after the same trimming of the attribute list.
#include "stored_blanks.h"

static const char BLANKS[] = " \t\r\n\v\f";

std::string TrimmedAsStored(const std::string& text)
{
    size_t first = text.find_first_not_of(BLANKS);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

bool HasBlankEdge(const std::string& text)
{
    return !text.empty() && TrimmedAsStored(text) != text;
}
