// Text from a setup file or the configuration as a terminal may show it.
#pragma once

#include <string>

// Control bytes (below 0x20, and 0x7f) as \xNN, so a setup file cannot
// drive the terminal that prints a report.
std::string Printable(const std::string& text);
