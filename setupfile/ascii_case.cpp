// Whole names folded and compared by the one case folding.
#include "ascii_case.h"
#include "ascii_letters.h"

std::string LowerAscii(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded)
        c = LowerAsciiLetter(c);
    return folded;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}
