// The one case folding of the programs: ASCII only, so that a name's other
// bytes (UTF-8, a code page) never change.
#include "ascii_case.h"

std::string LowerAscii(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}
