// The program's window onto the operating system, Windows side: the real
// Win32 ANSI API and the ODBC installer's published declarations.
#pragma once

#include <windows.h>
#include <odbcinst.h>

// Not Win32: what a run needs from the system beyond it.

// Called first in every Windows entry point: DLLs load from the system
// directory only, never from the executable's folder.
void UseSystemDirectoryForLibraries(void);

// Serialises the runs on the machine's ODBC configuration: held from the
// first installer call of a run to the end.
void LockOdbcConfiguration(void);
void UnlockOdbcConfiguration(void);

// Windows' heap keeps freed pages for reuse by itself.
inline void KeepHeapBetweenInstallerCalls(void) {}

// A GUI process gets no stop signals; these keep the run's code the same
// on both systems.
inline void HoldStopSignals(void) {}
inline void ReleaseStopSignals(void) {}
