// Names compared as the installer and the profile functions compare them:
// without regard to ASCII case, other bytes as they are.
#pragma once

#include <string>

std::string LowerAscii(const std::string& text);
bool SameIgnoringAsciiCase(const std::string& a, const std::string& b);
