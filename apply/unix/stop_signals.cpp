// SIGTERM, SIGINT and SIGHUP noted rather than obeyed: installer calls hold
// them back (they rewrite the configuration files in place), and between
// entries the run sees the note, stops, reads back what it did and reports
// it, and only then ends as the signal would have ended it.
#include "apply.h"

#include <csignal>

static volatile std::sig_atomic_t Caught = 0;

static void Note(int signal)
{
    if (Caught == 0)
        Caught = signal;
}

void CatchStopSignals(void)
{
    struct sigaction action = {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, NULL);
}

LPCSTR CaughtStopSignal(void)
{
    switch (Caught) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return NULL;
    }
}

void EndByCaughtSignal(void)
{
    int signal = Caught;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
