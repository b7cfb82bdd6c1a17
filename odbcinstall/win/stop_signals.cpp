// A Windows process gets no stop signals of these kinds; the run's code
// stays the same on both systems.
#include "run_policy.h"

void HoldStopSignals(void)
{
}

void ReleaseStopSignals(void)
{
}
