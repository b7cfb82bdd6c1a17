// How a run treats the ODBC configuration beyond the installer's calls:
// which view it works on, one run at a time, stop signals held while a call
// rewrites a file, and the heap kept between calls.
#pragma once

#include "platform.h"

// The ODBC configuration this build works on: "unixODBC" on Linux, and on
// Windows "64-bit" or "32-bit", the view of a process of its bitness.
LPCSTR OdbcViewName(void);
// Whether a driver is installed in the machine's other view, where a build
// of the other bitness ("x86" or "x64", given in otherBuild) would see it.
// Linux has one view: never.
BOOL DriverInOtherView(LPCSTR driver, LPCSTR* otherBuild);

// Serialises the runs on one ODBC configuration: held from the first
// installer call of a run to the end. While another run holds it, waits at
// most waitSeconds, saying so on standard error. On LOCK_TIMED_OUT or
// LOCK_FAILED nothing is held, and OdbcConfigurationLockProblem says why.
enum ConfigurationLocking { LOCK_TAKEN, LOCK_TIMED_OUT, LOCK_FAILED };
enum { DEFAULT_LOCK_WAIT_SECONDS = 120 };
ConfigurationLocking LockOdbcConfiguration(DWORD waitSeconds);
LPCSTR OdbcConfigurationLockProblem(void);
void UnlockOdbcConfiguration(void);

// Called at start: freed memory stays with the process, since the next
// installer call needs the same again. Windows' heap does so by itself.
void KeepHeapBetweenInstallerCalls(void);

// Stop signals (SIGTERM, SIGINT, SIGHUP) wait while an installer call
// rewrites the configuration files, so a stop lands between calls. A
// Windows GUI process gets none.
void HoldStopSignals(void);
void ReleaseStopSignals(void);
