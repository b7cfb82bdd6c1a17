// The run lock on Windows: a machine-wide named mutex. The installer keeps
// the configuration in the registry, whose values are written whole, but a
// driver's usage count is read and written back, so runs at once still
// take turns.
#include "platform.h"

#include <cstdio>

static HANDLE LockMutex = NULL;

void LockOdbcConfiguration(void)
{
    if (LockMutex != NULL)
        return;
    // Global needs a right that plain users may lack; their runs then
    // serialise within the session.
    HANDLE mutex = CreateMutexA(NULL, FALSE, "Global\\VelloranOdbcConfiguration");
    if (mutex == NULL)
        mutex = CreateMutexA(NULL, FALSE, "Local\\VelloranOdbcConfiguration");
    if (mutex == NULL)
        return;
    DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) {
        std::fprintf(stderr, "Waiting for another run on the ODBC configuration...\n");
        std::fflush(stderr);
        waited = WaitForSingleObject(mutex, INFINITE);
    }
    // An abandoned mutex is ours all the same: its last owner has ended.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    LockMutex = mutex;
}

void UnlockOdbcConfiguration(void)
{
    if (LockMutex == NULL)
        return;
    ReleaseMutex(LockMutex);
    CloseHandle(LockMutex);
    LockMutex = NULL;
}
