// The numbered list entries and the driver-manager switch, read exactly as
// the run takes them: one place for the sections, keys, defaults, buffer
// sizes and end-of-list rule, so the run and the checker cannot differ.
#include "setup_file.h"

BOOL ReadInstallManagerSetting(void)
{
    return GetPrivateProfileIntA(INSTALL_MANAGER_SECTION, INSTALL_KEY, 0, SetupFilePath) != 0;
}

void ReadListValue(LPCSTR section, LPCSTR key, LPSTR value)
{
    GetPrivateProfileStringA(section, key, END_OF_LIST, value, ATTRIBUTE_LIST_SIZE, SetupFilePath);
}

BOOL ReadComponentEntry(LPCSTR section, LPCSTR keyFormat, int index, LPSTR value)
{
    char key[LIST_KEY_SIZE];
    if (!FormatListKey(key, keyFormat, index))
        return FALSE;
    ReadListValue(section, key, value);
    if (lstrcmpA(value, END_OF_LIST) == 0)
        return FALSE;
    DecodeAttributeList(value);
    return TRUE;
}

BOOL ReadDataSourceEntry(int index, LPSTR driver, LPSTR attributes, LPSTR keyword)
{
    char key[LIST_KEY_SIZE];
    // "DSRequest%d" is the longest of the three names, so its limit holds
    // for all of them.
    if (!FormatListKey(key, DATA_SOURCE_REQUEST_KEY_FORMAT, index))
        return FALSE;
    FormatListKey(key, DATA_SOURCE_DRIVER_KEY_FORMAT, index);
    GetPrivateProfileStringA(DATA_SOURCES_SECTION, key, END_OF_LIST, driver, DRIVER_NAME_SIZE,
                             SetupFilePath);
    if (lstrcmpA(driver, END_OF_LIST) == 0)
        return FALSE;
    FormatListKey(key, DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, index);
    ReadListValue(DATA_SOURCES_SECTION, key, attributes);
    DecodeAttributeList(attributes);
    FormatListKey(key, DATA_SOURCE_REQUEST_KEY_FORMAT, index);
    GetPrivateProfileStringA(DATA_SOURCES_SECTION, key, END_OF_LIST, keyword, REQUEST_KEYWORD_SIZE,
                             SetupFilePath);
    return TRUE;
}
