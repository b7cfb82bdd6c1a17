// The two display settings, with their fallbacks.
#include "setup_file.h"

static void ReadDisplaySetting(LPCSTR key, LPCSTR fallback, LPSTR buffer, int size)
{
    buffer[0] = '\0';
    if (SetupFilePath[0] != '\0')
        GetPrivateProfileStringA(SETTINGS_SECTION, key, "Empty", buffer, size, SetupFilePath);
    if (lstrcmpA(buffer, "Empty") == 0 || buffer[0] == '\0')
        lstrcpyA(buffer, fallback);
}

void ReadTitleSetting(LPSTR buffer, int size)
{
    ReadDisplaySetting(TITLE_KEY, "Launcher", buffer, size);
}

void ReadLoadMessageSetting(LPSTR buffer, int size)
{
    ReadDisplaySetting(LOAD_MESSAGE_KEY, "Launching program...", buffer, size);
}
