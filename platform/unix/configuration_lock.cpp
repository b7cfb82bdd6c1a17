// The run lock on Linux: flock on the directory that holds the system
// odbcinst.ini. unixODBC rewrites its files in place without a lock, so two
// runs at once lose entries; taking the directory itself creates no file.
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <unixODBC/unixodbc_conf.h>

static int LockedDirectory = -1;

// Where unixODBC keeps odbcinst.ini: $ODBCSYSINI, else its built-in folder.
static const char* SystemConfigurationDirectory(void)
{
    const char* directory = std::getenv("ODBCSYSINI");
    return directory != NULL && directory[0] != '\0' ? directory : SYSTEM_FILE_PATH;
}

void LockOdbcConfiguration(void)
{
    if (LockedDirectory >= 0)
        return;
    const char* directory = SystemConfigurationDirectory();
    // A directory that cannot be opened holds no files to protect; the
    // installer's own calls will fail there.
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "Waiting for another run on the ODBC configuration in %s...\n",
                     directory);
        std::fflush(stderr);
        int result;
        while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (result != 0) {
            close(fd);
            return;
        }
    }
    LockedDirectory = fd;
}

void UnlockOdbcConfiguration(void)
{
    if (LockedDirectory < 0)
        return;
    close(LockedDirectory);
    LockedDirectory = -1;
}
