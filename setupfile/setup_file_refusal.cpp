// The reasons behind the setup-file rule, named as precisely as the system
// tells them.
#include "setup_file_refusal.h"

static std::string WhyNotOpened(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return "no such file";
    case ERROR_PATH_NOT_FOUND:
        return "no such folder";
    case ERROR_ACCESS_DENIED:
        return "access denied, or a folder";
    default:
        return "it cannot be opened (error " + std::to_string(error) + ")";
    }
}

std::string SetupFileRefusal(SetupFileCheck check)
{
    switch (check) {
    case SETUP_FILE_NOT_OPENED:
        return WhyNotOpened(GetLastError());
    case SETUP_FILE_PIPE:
        return "a pipe or FIFO, not a regular file; velloran reads it as no setup file";
    case SETUP_FILE_DEVICE:
        return "a device, not a regular file; velloran reads it as no setup file";
    case SETUP_FILE_TOO_LARGE:
        return "larger than " + std::to_string(SETUP_FILE_SIZE_LIMIT / (1024 * 1024)) +
               " MiB, the most velloran reads; it reads it as no setup file";
    default:
        return "not a regular file; velloran reads it as no setup file";
    }
}

std::string SetupPathRefusal(void)
{
    return "a path of " + std::to_string(SETUP_PATH_SIZE) + " characters or more, which velloran refuses";
}
