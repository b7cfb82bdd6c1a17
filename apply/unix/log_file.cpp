// Opening the log: without waiting (a FIFO without a reader would block an
// ordinary open), and only as a regular file, since a FIFO or a device
// would swallow or stall the record.
#include "apply.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenApplyLog(const char* path, std::string& reason)
{
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat status;
    if (fd < 0 && errno == ENXIO) {
        reason = "a FIFO, not a regular file";
        return NULL;
    }
    if (fd >= 0 && fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
        reason = S_ISFIFO(status.st_mode) ? "a FIFO, not a regular file"
                 : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device, not a regular file"
                                                                      : "not a regular file";
        close(fd);
        return NULL;
    }
    FILE* log = NULL;
    if (fd >= 0 && fcntl(fd, F_SETFL, O_APPEND) == 0)
        log = fdopen(fd, "ab");
    if (log == NULL) {
        std::fprintf(stderr, "velloran-apply: cannot write the log %s: %s; the run goes on\n",
                     Printable(path).c_str(), std::strerror(errno));
        if (fd >= 0)
            close(fd);
    }
    return log;
}
