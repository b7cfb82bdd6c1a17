// Opening the log: only as a regular file, since a pipe or a device would
// swallow or stall the record.
#include "apply.h"

#include <io.h>

FILE* OpenApplyLog(const char* path, std::string& reason)
{
    FILE* log = std::fopen(path, "ab");
    if (log == NULL) {
        std::fprintf(stderr, "velloran-apply: cannot write the log %s; the run goes on\n",
                     Printable(path).c_str());
        return NULL;
    }
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(log)))) != FILE_TYPE_DISK) {
        reason = "not a regular file";
        std::fclose(log);
        return NULL;
    }
    return log;
}
