// The blanks the installer drops around a name, a key or a value before it
// stores them, so a re-run can compare with what it stored and the checker
// can warn of it.
#pragma once

#include <string>

std::string TrimmedAsStored(const std::string& text);
// Whether the installer would drop blanks at either end.
bool HasBlankEdge(const std::string& text);
