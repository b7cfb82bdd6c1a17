// LoadLibraryA and friends over dlopen. The Windows installer's name
// "odbccp32.dll" stands for unixODBC's installer library, found by the
// dynamic linker's normal search, so LD_LIBRARY_PATH can put another first.
#include "platform.h"

#include <dlfcn.h>
#include <strings.h>

HMODULE LoadLibraryA(LPCSTR name)
{
    if (strcasecmp(name, "odbccp32.dll") == 0)
        name = "libodbcinst.so.2";
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<FARPROC>(dlsym(module, name));
}

BOOL FreeLibrary(HMODULE module)
{
    return dlclose(module) == 0;
}
