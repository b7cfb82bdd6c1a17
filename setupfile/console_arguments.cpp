// One reading of the console programs' command lines.
#include "console_arguments.h"

#include <cstring>

static const ConsoleOption* FindOption(const ConsoleOption* options, int count, LPCSTR name)
{
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(options[i].name, name) == 0)
            return &options[i];
    }
    return NULL;
}

static ConsoleRequest InformationAsked(int argc, char** argv, const ConsoleOption* options, int count)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return CONSOLE_HELP;
        if (std::strcmp(argv[i], "--version") == 0)
            return CONSOLE_VERSION;
        const ConsoleOption* option = FindOption(options, count, argv[i]);
        if (option != NULL && option->value != NULL)
            ++i;  // its value may be --help
    }
    return CONSOLE_RUN;
}

ConsoleRequest ParseConsoleArguments(int argc, char** argv, const ConsoleOption* options,
                                     int count, LPCSTR* file)
{
    ConsoleRequest information = InformationAsked(argc, argv, options, count);
    if (information != CONSOLE_RUN)
        return information;
    *file = NULL;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        LPCSTR argument = argv[i];
        const ConsoleOption* option = optionsEnd ? NULL : FindOption(options, count, argument);
        if (!optionsEnd && std::strcmp(argument, "--") == 0) {
            optionsEnd = true;
        } else if (option != NULL && option->flag != NULL) {
            *option->flag = true;
        } else if (option != NULL) {
            LPCSTR value = i + 1 < argc ? argv[i + 1] : NULL;
            if (value == NULL || value[0] == '\0' || (option->valid != NULL && !option->valid(value)))
                return CONSOLE_WRONG;
            *option->value = value;
            ++i;
        } else if (*file == NULL && (optionsEnd || argument[0] != '-')) {
            *file = argument;
        } else {
            return CONSOLE_WRONG;
        }
    }
    return CONSOLE_RUN;
}
