// Escaping control bytes for the reports of velloran-check and velloran-apply.
#include "printable_text.h"

#include <cstdio>

std::string Printable(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            shown += escape;
        } else {
            shown.push_back(static_cast<char>(c));
        }
    }
    return shown;
}
