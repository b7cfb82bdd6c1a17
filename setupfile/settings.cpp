// The two display settings, with their fallbacks.
#include "setup_file.h"

static void ReadDisplaySetting(LPCSTR key, LPCSTR fallback, LPSTR buffer, int size)
{
    buffer[0] = '\0';
    if (SetupFilePath[0] != '\0')
        GetPrivateProfileStringA(SettingsSection, key, "Empty", buffer, size, SetupFilePath);
    if (lstrcmpA(buffer, "Empty") == 0 || buffer[0] == '\0')
        lstrcpyA(buffer, fallback);
}

void ReadTitleSetting(LPSTR buffer, int size)
{
    ReadDisplaySetting(TitleKey, "Launcher", buffer, size);
}

void ReadLoadMessageSetting(LPSTR buffer, int size)
{
    ReadDisplaySetting(LoadMessageKey, "Launching program...", buffer, size);
}
