// Whether a setup file may be read at all: an existing regular file within
// the size limit. Shared by every program, so each refuses the same files.
#include "setup_file.h"

SetupFileCheck OpenSetupFile(LPCSTR path, HANDLE* file)
{
    *file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (*file == INVALID_HANDLE_VALUE)
        return SETUP_FILE_NOT_OPENED;
    SetupFileCheck check = SETUP_FILE_READABLE;
    LARGE_INTEGER size;
    DWORD type = GetFileType(*file);
    if (type == FILE_TYPE_PIPE)
        check = SETUP_FILE_PIPE;
    else if (type == FILE_TYPE_CHAR)
        check = SETUP_FILE_DEVICE;
    else if (type != FILE_TYPE_DISK || !GetFileSizeEx(*file, &size))
        check = SETUP_FILE_NOT_REGULAR;
    else if (size.QuadPart > SETUP_FILE_SIZE_LIMIT)
        check = SETUP_FILE_TOO_LARGE;
    if (check != SETUP_FILE_READABLE) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
    }
    return check;
}

BOOL SetupFileReadable(LPCSTR path)
{
    HANDLE file;
    if (OpenSetupFile(path, &file) != SETUP_FILE_READABLE)
        return FALSE;
    CloseHandle(file);
    return TRUE;
}
