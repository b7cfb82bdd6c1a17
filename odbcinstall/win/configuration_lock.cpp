// The run lock on Windows: a machine-wide named mutex. The installer keeps
// the configuration in the registry, whose values are written whole, but a
// driver's usage count is read and written back, so runs at once still
// take turns, waiting a bounded time.
#include "run_policy.h"

#include <cstdio>

static HANDLE LockMutex = NULL;
static char Problem[256] = "";

ConfigurationLocking LockOdbcConfiguration(DWORD waitSeconds)
{
    if (LockMutex != NULL)
        return LOCK_TAKEN;
    // Global needs a right that plain users may lack; their runs then
    // serialise within the session.
    HANDLE mutex = CreateMutexA(NULL, FALSE, "Global\\VelloranOdbcConfiguration");
    if (mutex == NULL)
        mutex = CreateMutexA(NULL, FALSE, "Local\\VelloranOdbcConfiguration");
    if (mutex == NULL) {
        std::snprintf(Problem, sizeof Problem, "cannot create the ODBC configuration lock (error %lu)",
                      GetLastError());
        return LOCK_FAILED;
    }
    DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) {
        std::fprintf(stderr, "Waiting for another run on the ODBC configuration...\n");
        std::fflush(stderr);
        waited = WaitForSingleObject(mutex, waitSeconds * 1000);
    }
    // An abandoned mutex is ours all the same: its last owner has ended.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        LockMutex = mutex;
        return LOCK_TAKEN;
    }
    CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT) {
        std::snprintf(Problem, sizeof Problem,
                      "another run held the ODBC configuration for %lu seconds; nothing was done",
                      waitSeconds);
        return LOCK_TIMED_OUT;
    }
    std::snprintf(Problem, sizeof Problem, "cannot take the ODBC configuration lock (error %lu)",
                  GetLastError());
    return LOCK_FAILED;
}

LPCSTR OdbcConfigurationLockProblem(void)
{
    return Problem;
}

void UnlockOdbcConfiguration(void)
{
    if (LockMutex == NULL)
        return;
    ReleaseMutex(LockMutex);
    CloseHandle(LockMutex);
    LockMutex = NULL;
}
