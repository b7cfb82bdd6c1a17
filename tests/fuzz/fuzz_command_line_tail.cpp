// The command-line tail: GetCommandLineTail over any command line, the tail
// then given to FillSetupFilePath, and the Linux argument join over the same
// bytes split at newlines. A tail never leaves its command line, a path is
// taken whole or not at all, and a join is whole or refused.
#include "command_tail.h"
#include "setup_file.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string commandLine(reinterpret_cast<const char*>(data), size);
    const char* start = commandLine.c_str();
    const char* tail = GetCommandLineTail(start);
    if (tail < start || tail > start + std::strlen(start))
        std::abort();

    size_t tailLength = std::strlen(tail);
    BOOL filled = FillSetupFilePath(tail);
    if (tailLength >= SETUP_PATH_SIZE && (filled || SetupFilePath[0] != '\0'))
        std::abort();
    if (tailLength > 0 && tailLength < SETUP_PATH_SIZE &&
        (!filled || std::strcmp(SetupFilePath, tail) != 0))
        std::abort();

    std::vector<std::string> arguments(1, "velloran");
    size_t begin = 0;
    for (size_t end; (end = commandLine.find('\n', begin)) != std::string::npos; begin = end + 1)
        arguments.push_back(commandLine.substr(begin, end - begin));
    arguments.push_back(commandLine.substr(begin));
    std::vector<const char*> argv;
    std::string joined;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
        if (argv.size() > 1)
            joined += (argv.size() > 2 ? " " : "") + std::string(argument.c_str());
    }
    std::vector<char> buffer(SETUP_PATH_SIZE);
    bool fits =
        JoinArguments(static_cast<int>(argv.size()), argv.data(), buffer.data(), buffer.size());
    if (fits != (joined.size() < SETUP_PATH_SIZE) ||
        joined.substr(0, fits ? joined.size() : 0) != buffer.data())
        std::abort();
    return 0;
}
