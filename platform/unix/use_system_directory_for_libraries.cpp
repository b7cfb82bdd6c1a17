// Linux has no executable-folder-first search: the dynamic linker's own
// order stands, so there is nothing to restrict.
#include "platform.h"

void UseSystemDirectoryForLibraries(void)
{
}
