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
// A file handle holds the descriptor; -1 is both "no descriptor" and
// Windows' INVALID_HANDLE_VALUE.
typedef void* HANDLE;
#define INVALID_HANDLE_VALUE ((HANDLE)(long)-1)
typedef union {
    struct {
        DWORD LowPart;
        int HighPart;
    } u;
    long long QuadPart;
} LARGE_INTEGER;

#define MB_OK 0x00000000u
#define MB_ICONWARNING 0x00000030u
#define IDOK 1

#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_TYPE_UNKNOWN 0u
#define FILE_TYPE_DISK 1u
#define FILE_TYPE_CHAR 2u
#define FILE_TYPE_PIPE 3u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_OPEN_FAILED 110u

// The largest file the profile functions read; a larger one reads as no
// file. The setup-file rule holds every program to the same size.
enum { PROFILE_FILE_SIZE_LIMIT = 64 * 1024 * 1024 };

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR buffer, DWORD size, LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue,
                           LPCSTR fileName);

HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// Only what reading a file takes: GENERIC_READ of an OPEN_EXISTING file.
// Opening never waits for a FIFO's writer, and a directory cannot be
// opened, as on Windows.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD GetFileType(HANDLE file);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read, void* overlapped);
BOOL CloseHandle(HANDLE object);
DWORD GetLastError(void);

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

int lstrcmpA(LPCSTR a, LPCSTR b);
LPSTR lstrcpyA(LPSTR destination, LPCSTR source);
int lstrlenA(LPCSTR text);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
BOOL IsDBCSLeadByte(BYTE c);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Not Win32: what a run needs from the system beyond it.

// Called first in every entry point; does nothing on Linux, whose dynamic
// linker never looks in the executable's folder.
void UseSystemDirectoryForLibraries(void);

