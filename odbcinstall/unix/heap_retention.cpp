// Keeping freed memory between installer calls. Each unixODBC call parses
// odbcinst.ini into many small blocks and frees them all; glibc then gives
// the top of the heap back to the system (past 128 KiB by default), and the
// next call faults and zeroes the same pages again. At 1,000 drivers that
// was most of a run's time. A high trim threshold keeps those pages; the
// peak stays what one call needs.
#include "run_policy.h"

#include <malloc.h>

void KeepHeapBetweenInstallerCalls(void)
{
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}
