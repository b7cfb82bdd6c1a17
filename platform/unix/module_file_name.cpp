// GetModuleFileNameA for the running executable, from /proc/self/exe.
#include "platform.h"

#include <climits>
#include <cstring>
#include <unistd.h>

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    if (module != NULL || size == 0)
        return 0;
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof path))
        return 0;
    // As on Windows: a path that does not fit is cut, and the full size
    // returned says so.
    DWORD copied = static_cast<DWORD>(length) < size ? static_cast<DWORD>(length) : size - 1;
    std::memcpy(buffer, path, copied);
    buffer[copied] = '\0';
    return static_cast<DWORD>(length) < size ? copied : size;
}
