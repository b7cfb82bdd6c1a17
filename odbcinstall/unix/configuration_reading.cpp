// Reading unixODBC's configuration files whole, with unixODBC's own INI
// reader (iniOpen and its cursor functions), so that blanks, comments,
// repeats and long lines read exactly as the installer reads them. The
// files are located by unixODBC's own functions, and opened without the
// create flag that its read functions pass, so a check leaves no file
// behind. These functions are exported by libodbcinst.so.2 but declared in
// no installed header, so they are declared here, and looked up at run time;
// a library without them is read through SQLGetPrivateProfileString, a
// section and a key at a time, which may create a missing file.
#include "odbc_configuration.h"
#include "odbc_install.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

typedef void* IniHandle;
// unixODBC's ini.h: the signatures of every version since 2.2 (non-OS/2).
typedef int (*IniOpenFunction)(IniHandle* ini, char* file, char* comments, char left, char right,
                               char equals, int create);
typedef int (*IniStepFunction)(IniHandle ini);
typedef int (*IniTextFunction)(IniHandle ini, char* text);
typedef char* (*FilePathFunction)(char* buffer);
typedef BOOL (*DataSourceFileFunction)(char* path, BOOL verify);

const int INI_SUCCESS = 1;
const int INI_TRUE = 1;
// unixODBC's buffers: ODBC_FILENAME_MAX (FILENAME_MAX) for a path, and
// INI_MAX_LINE + 1 for a name or a value.
enum { PATH_BUFFER_SIZE = 8192, TEXT_BUFFER_SIZE = 1001 };

struct IniFunctions {
    IniOpenFunction open;
    IniStepFunction close, objectFirst, objectNext, objectEnd, propertyFirst, propertyNext,
        propertyEnd;
    IniTextFunction object, property, value;
    FilePathFunction systemPath, systemName;
    DataSourceFileFunction systemDataSources, userDataSources;
};

template <typename Function>
bool Find(HMODULE library, LPCSTR name, Function& function)
{
    function = InstallerFunction<Function>(library, name);
    return function != NULL;
}

bool FindIniFunctions(HMODULE library, IniFunctions& f)
{
    return Find(library, "iniOpen", f.open) && Find(library, "iniClose", f.close) &&
           Find(library, "iniObjectFirst", f.objectFirst) &&
           Find(library, "iniObjectNext", f.objectNext) &&
           Find(library, "iniObjectEOL", f.objectEnd) &&
           Find(library, "iniPropertyFirst", f.propertyFirst) &&
           Find(library, "iniPropertyNext", f.propertyNext) &&
           Find(library, "iniPropertyEOL", f.propertyEnd) && Find(library, "iniObject", f.object) &&
           Find(library, "iniProperty", f.property) && Find(library, "iniValue", f.value) &&
           Find(library, "odbcinst_system_file_path", f.systemPath) &&
           Find(library, "odbcinst_system_file_name", f.systemName) &&
           Find(library, "_odbcinst_SystemINI", f.systemDataSources) &&
           Find(library, "_odbcinst_UserINI", f.userDataSources);
}

// Where unixODBC keeps a store: odbcinst.ini as its driver functions name
// it, odbc.ini as its data-source functions do (ODBCSYSINI, ODBCINI, HOME).
std::string StorePath(const IniFunctions& f, ConfigurationStore store)
{
    char folder[PATH_BUFFER_SIZE] = "";
    char name[PATH_BUFFER_SIZE] = "";
    if (store == DRIVER_STORE)
        return std::string(f.systemPath(folder)) + "/" + f.systemName(name);
    // Without verifying, neither creates the file.
    DataSourceFileFunction locate =
        store == SYSTEM_DATA_SOURCE_STORE ? f.systemDataSources : f.userDataSources;
    return locate(name, FALSE) ? name : "";
}

void ReadSections(const IniFunctions& f, IniHandle ini, ConfigurationFile& file)
{
    char name[TEXT_BUFFER_SIZE];
    char value[TEXT_BUFFER_SIZE];
    for (f.objectFirst(ini); f.objectEnd(ini) != INI_TRUE; f.objectNext(ini)) {
        ConfigurationSection section;
        name[0] = '\0';
        f.object(ini, name);
        section.name = name;
        for (f.propertyFirst(ini); f.propertyEnd(ini) != INI_TRUE; f.propertyNext(ini)) {
            name[0] = value[0] = '\0';
            f.property(ini, name);
            f.value(ini, value);
            section.values.emplace_back(name, value);
        }
        file.sections.push_back(std::move(section));
    }
}

typedef decltype(&SQLGetPrivateProfileString) ProfileStringFunction;
typedef decltype(&SQLGetConfigMode) GetConfigModeFunction;
typedef decltype(&SQLSetConfigMode) SetConfigModeFunction;

// A NUL-separated list as the profile reader gives it for a NULL name.
std::vector<std::string> ProfileNames(ProfileStringFunction read, LPCSTR section, LPCSTR file)
{
    std::vector<char> names(65536, '\0');
    int length = read(section, NULL, "", names.data(), static_cast<int>(names.size()) - 1, file);
    std::vector<std::string> listed;
    for (int at = 0; length > 0 && at < length && names[at] != '\0'; at += listed.back().size() + 1)
        listed.push_back(names.data() + at);
    return listed;
}

void ReadKeyByKey(HMODULE library, ConfigurationStore store, ConfigurationFile& file)
{
    ProfileStringFunction read;
    GetConfigModeFunction getMode;
    SetConfigModeFunction setMode;
    if (!Find(library, "SQLGetPrivateProfileString", read) ||
        !Find(library, "SQLGetConfigMode", getMode) || !Find(library, "SQLSetConfigMode", setMode)) {
        file.error = "the installer library cannot read its configuration";
        return;
    }
    LPCSTR name = store == DRIVER_STORE ? "odbcinst.ini" : "odbc.ini";
    file.place = store == DRIVER_STORE ? "odbcinst.ini"
                 : store == SYSTEM_DATA_SOURCE_STORE ? "the system odbc.ini" : "the user's odbc.ini";
    // The view is the library's own state: chosen for the read, put back.
    UWORD mode = ODBC_BOTH_DSN;
    bool modeRead = getMode(&mode) != FALSE;
    if (store != DRIVER_STORE)
        setMode(store == SYSTEM_DATA_SOURCE_STORE ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
    char value[TEXT_BUFFER_SIZE];
    for (const std::string& section : ProfileNames(read, NULL, name)) {
        ConfigurationSection entry = {section, {}};
        for (const std::string& key : ProfileNames(read, section.c_str(), name)) {
            value[0] = '\0';
            read(section.c_str(), key.c_str(), "", value, sizeof value, name);
            entry.values.emplace_back(key, value);
        }
        file.sections.push_back(std::move(entry));
    }
    if (modeRead && store != DRIVER_STORE)
        setMode(mode);
    file.read = true;
}

}  // namespace

// unixODBC writes a component's section anew, keeping only its usage count.
const bool INSTALL_REPLACES_SECTION = true;

void ReadConfigurationStore(ConfigurationStore store, ConfigurationFile& file)
{
    file = ConfigurationFile{"", false, "", {}};
    HMODULE library = LoadLibraryA("odbccp32.dll");
    IniFunctions f;
    if (library == NULL) {
        file.error = "the installer library cannot be loaded";
        return;
    }
    if (!FindIniFunctions(library, f)) {
        ReadKeyByKey(library, store, file);
        FreeLibrary(library);
        return;
    }
    file.place = StorePath(f, store);
    struct stat status;
    if (file.place.empty()) {
        file.error = "the installer names no file";
    } else if (stat(file.place.c_str(), &status) != 0 && errno == ENOENT) {
        file.read = true;  // nothing there yet: an empty store
    } else {
        IniHandle ini = NULL;
        char comments[] = "#;";
        std::string path = file.place;
        if (f.open(&ini, &path[0], comments, '[', ']', '=', 0) == INI_SUCCESS) {
            ReadSections(f, ini, file);
            f.close(ini);
            file.read = true;
        } else {
            file.error = "cannot read " + file.place;
        }
    }
    FreeLibrary(library);
}
