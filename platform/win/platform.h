// The program's window onto the operating system, Windows side: the real
// Win32 ANSI API and the ODBC installer's published declarations.
#pragma once

#include <windows.h>
#include <odbcinst.h>

// Not Win32: what a run needs from the system beyond it.

// Called first in every Windows entry point: DLLs load from the system
// directory only, never from the executable's folder.
void UseSystemDirectoryForLibraries(void);

