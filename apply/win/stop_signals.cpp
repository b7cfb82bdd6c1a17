// Windows sends a console program no stop signals of these kinds; a
// deployment tool that ends it ends it outright, between registry writes.
#include "apply.h"

void CatchStopSignals(void)
{
}

LPCSTR CaughtStopSignal(void)
{
    return NULL;
}

void EndByCaughtSignal(void)
{
}
