// The command line of the console programs, velloran-check and
// velloran-apply: flags and options with a value, then one setup file;
// "--" ends the options, so a file may be named like one.
#pragma once

#include "platform.h"

struct ConsoleOption {
    LPCSTR name;
    bool* flag;                    // set when given; NULL for an option with a value
    LPCSTR* value;                 // the argument after it; NULL for a flag
    bool (*valid)(LPCSTR value);   // NULL: any value but an empty one
};

enum ConsoleRequest { CONSOLE_RUN, CONSOLE_HELP, CONSOLE_VERSION, CONSOLE_WRONG };

// --help and --version are answered wherever they stand before "--", even
// beside wrong arguments. Otherwise CONSOLE_RUN with *file the one
// argument that is not an option (NULL when there is none), or
// CONSOLE_WRONG.
ConsoleRequest ParseConsoleArguments(int argc, char** argv, const ConsoleOption* options,
                                     int count, LPCSTR* file);
