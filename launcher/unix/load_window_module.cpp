// Finding and loading the window module beside the executable, only when
// there is a display to open: a headless run maps no GUI library.
#include "platform.h"
#include "window_module.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>

const WindowModule* LoadWindowModule(void)
{
    const char* display = std::getenv("DISPLAY");
    if (display == NULL || display[0] == '\0')
        return NULL;
    char executable[PATH_MAX];
    DWORD length = GetModuleFileNameA(NULL, executable, sizeof executable);
    if (length == 0 || length >= sizeof executable)
        return NULL;
    std::string path(executable, length);
    path.erase(path.rfind('/') + 1);
    path += WINDOW_MODULE_PATH;
    // Never released: the window and the boxes live until the run ends.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == NULL)
        return NULL;
    typedef const WindowModule* (*Entry)(void);
    Entry entry = reinterpret_cast<Entry>(dlsym(module, WINDOW_MODULE_ENTRY));
    return entry != NULL ? entry() : NULL;
}
