// The program's window onto the operating system, Linux side: the few Win32
// ANSI functions the program calls, under their own names, and unixODBC's
// installer declarations. Types come from unixODBC's headers so that the
// installer's prototypes and ours agree.
#pragma once

#include <odbcinst.h>

#define WINAPI
#define TRUE 1
#define FALSE 0

typedef void* HMODULE;
typedef void (*FARPROC)(void);

#define MB_OK 0x00000000u
#define MB_ICONWARNING 0x00000030u
#define IDOK 1

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR buffer, DWORD size, LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue,
                           LPCSTR fileName);

HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

int lstrcmpA(LPCSTR a, LPCSTR b);
LPSTR lstrcpyA(LPSTR destination, LPCSTR source);
int lstrlenA(LPCSTR text);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
BOOL IsDBCSLeadByte(BYTE c);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Called first in every entry point; does nothing on Linux, whose dynamic
// linker never looks in the executable's folder.
void UseSystemDirectoryForLibraries(void);
