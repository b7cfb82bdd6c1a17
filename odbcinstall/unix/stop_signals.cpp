// Holding stop signals around an installer call. unixODBC truncates and
// rewrites odbcinst.ini and odbc.ini in place, so a stop in mid-call can
// leave them empty; held back, SIGTERM, SIGINT and SIGHUP take effect the
// moment the call is over, between entries.
#include "run_policy.h"

#include <csignal>
#include <pthread.h>

static sigset_t StopSignals(void)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

void HoldStopSignals(void)
{
    sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, NULL);
}

void ReleaseStopSignals(void)
{
    sigset_t signals = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, NULL);
}
