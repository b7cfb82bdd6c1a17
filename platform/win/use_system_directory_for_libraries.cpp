// Restricts where this process looks for DLLs to the system directory, so a
// DLL planted beside the executable (a Downloads folder, say) is never
// loaded; LoadLibraryA("odbccp32.dll") then finds only the system's own.
#include "platform.h"

void UseSystemDirectoryForLibraries(void)
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
