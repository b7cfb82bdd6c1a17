// LoadLibraryA and friends over dlopen. The Windows installer's name
// "odbccp32.dll" stands for unixODBC's installer library, found by the
// dynamic linker's normal search, so LD_LIBRARY_PATH can put another first.
#include "platform.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>

// In a Windows GUI process a DLL's system dependencies are resident already,
// so loading and releasing it maps the DLL alone. Pinning the dependencies a
// load brought in does the same here: the library itself is still released
// every time, and each load costs half as much.
static void PinNewDependencies(void* library)
{
    struct link_map* loaded = NULL;
    if (dlinfo(library, RTLD_DI_LINKMAP, &loaded) != 0)
        return;
    for (struct link_map* dependency = loaded->l_next; dependency != NULL;
         dependency = dependency->l_next)
        dlopen(dependency->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

HMODULE LoadLibraryA(LPCSTR name)
{
    if (strcasecmp(name, "odbccp32.dll") == 0)
        name = "libodbcinst.so.2";
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library != NULL)
        PinNewDependencies(library);
    return library;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<FARPROC>(dlsym(module, name));
}

BOOL FreeLibrary(HMODULE module)
{
    return dlclose(module) == 0;
}
