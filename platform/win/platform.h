// The program's window onto the operating system, Windows side: the real
// Win32 ANSI API and the ODBC installer's published declarations.
#pragma once

#include <windows.h>
#include <odbcinst.h>

// Not Win32: what a run needs from the system beyond it.

// Called first in every Windows entry point: DLLs load from the system
// directory only, never from the executable's folder.
void UseSystemDirectoryForLibraries(void);

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

// Windows' heap keeps freed pages for reuse by itself.
inline void KeepHeapBetweenInstallerCalls(void) {}

// A GUI process gets no stop signals; these keep the run's code the same
// on both systems.
inline void HoldStopSignals(void) {}
inline void ReleaseStopSignals(void) {}
