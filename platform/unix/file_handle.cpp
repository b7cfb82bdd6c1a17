// The Win32 file calls the program reads a setup file with, over a file
// descriptor: CreateFileA for reading, GetFileType, GetFileSizeEx, ReadFile,
// CloseHandle, and GetLastError with the Windows codes for their failures.
#include "platform.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static thread_local DWORD lastError = 0;

static DWORD ErrorOf(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_OPEN_FAILED;
    }
}

static BOOL Fail(int error)
{
    lastError = ErrorOf(error);
    return FALSE;
}

static int DescriptorOf(HANDLE file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

static bool Stat(HANDLE file, struct stat& info)
{
    if (fstat(DescriptorOf(file), &info) == 0)
        return true;
    Fail(errno);
    return false;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    if (name == NULL || access != GENERIC_READ || disposition != OPEN_EXISTING) {
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer, for ever if none comes. Regular files ignore the flag.
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return INVALID_HANDLE_VALUE;
    }
    // A file whose kind cannot be told is of no use to the reader: fstat's
    // failure fails the open, and leaves st_mode unset.
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    if (error != 0) {
        close(fd);
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

DWORD GetFileType(HANDLE file)
{
    struct stat info;
    if (!Stat(file, info))
        return FILE_TYPE_UNKNOWN;
    lastError = 0;
    if (S_ISREG(info.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(info.st_mode))
        return FILE_TYPE_CHAR;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size)
{
    struct stat info;
    if (!Stat(file, info))
        return FALSE;
    // Only a regular file has a size to tell.
    if (!S_ISREG(info.st_mode))
        return Fail(EBADF);
    size->QuadPart = info.st_size;
    return TRUE;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read, void*)
{
    ssize_t count;
    while ((count = ::read(DescriptorOf(file), buffer, size)) < 0 && errno == EINTR)
        ;
    if (count < 0) {
        *read = 0;
        return Fail(errno);
    }
    *read = static_cast<DWORD>(count);
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    return close(DescriptorOf(object)) == 0 ? TRUE : Fail(errno);
}

DWORD GetLastError(void)
{
    return lastError;
}
