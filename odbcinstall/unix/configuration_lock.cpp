// The run lock on Linux: flock on the directory that holds the system
// odbcinst.ini. unixODBC rewrites its files in place, and its own lock
// (2.3.13 on) is a mutex within one process, so two runs at once lose
// entries; taking the directory itself creates no file.
// Only "held by another" is waited on, and for a bounded time: any local
// user who can open the folder can take the lock, and must not stall an
// unattended run for ever.
#include "run_policy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <unixODBC/unixodbc_conf.h>

static int LockedDirectory = -1;
static char Problem[512] = "";

// Where unixODBC keeps odbcinst.ini: $ODBCSYSINI, else its built-in folder.
static const char* SystemConfigurationDirectory(void)
{
    const char* directory = std::getenv("ODBCSYSINI");
    return directory != NULL && directory[0] != '\0' ? directory : SYSTEM_FILE_PATH;
}

static double Now(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

static ConfigurationLocking Failed(int fd, const char* what, const char* directory, int error)
{
    std::snprintf(Problem, sizeof Problem, "%s the ODBC configuration in %s: %s", what, directory,
                  std::strerror(error));
    if (fd >= 0)
        close(fd);
    return LOCK_FAILED;
}

ConfigurationLocking LockOdbcConfiguration(DWORD waitSeconds)
{
    if (LockedDirectory >= 0)
        return LOCK_TAKEN;
    const char* directory = SystemConfigurationDirectory();
    // A directory that does not exist holds no files to protect; the
    // installer's own calls will fail there.
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? LOCK_TAKEN : Failed(fd, "cannot open", directory, errno);
    double deadline = Now() + waitSeconds;
    bool said = false;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Failed(fd, "cannot lock", directory, errno);
        if (Now() >= deadline) {
            std::snprintf(Problem, sizeof Problem,
                          "another run held the ODBC configuration in %s for %lu seconds; "
                          "nothing was done",
                          directory, static_cast<unsigned long>(waitSeconds));
            close(fd);
            return LOCK_TIMED_OUT;
        }
        if (!said) {
            std::fprintf(stderr, "Waiting for another run on the ODBC configuration in %s...\n",
                         directory);
            std::fflush(stderr);
            said = true;
        }
        usleep(50 * 1000);
    }
    LockedDirectory = fd;
    return LOCK_TAKEN;
}

LPCSTR OdbcConfigurationLockProblem(void)
{
    return Problem;
}

void UnlockOdbcConfiguration(void)
{
    if (LockedDirectory < 0)
        return;
    close(LockedDirectory);
    LockedDirectory = -1;
}
