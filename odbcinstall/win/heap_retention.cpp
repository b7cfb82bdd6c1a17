// Windows' heap keeps freed pages for reuse by itself.
#include "run_policy.h"

void KeepHeapBetweenInstallerCalls(void)
{
}
