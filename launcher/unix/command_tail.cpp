// The tail of a Linux command line: the arguments after the program's name,
// joined with single blanks.
#include "command_tail.h"

#include <cstring>

bool JoinArguments(int argc, const char* const* argv, char* buffer, size_t size)
{
    size_t used = 0;
    buffer[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        size_t length = std::strlen(argv[i]);
        size_t needed = length + (i > 1 ? 1 : 0);
        if (needed >= size - used) {
            buffer[0] = '\0';
            return false;
        }
        if (i > 1)
            buffer[used++] = ' ';
        std::memcpy(buffer + used, argv[i], length + 1);
        used += length;
    }
    return true;
}
