// The installer library and the message box, in process, for fuzzing a
// whole run. These definitions take the place of the platform's dlopen and
// message-box ones: the linker pulls those from the static libraries only
// when nothing else defines the names. A fuzzer must not depend on a library
// path, open windows or spend its time writing warnings, so each call is
// recorded here and each warning counted. Anything the program must never
// do aborts.
#include "installer_stand_in.h"

#include <cstdlib>
#include <cstring>

InstallerRecord StandInRecord;

void ResetStandIn(unsigned failMask)
{
    StandInRecord = InstallerRecord();
    StandInRecord.failMask = failMask;
}

namespace {

HMODULE const STAND_IN_LIBRARY = &StandInRecord;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// A list must be closed by two NULs within the program's 1000-byte buffer;
// reading no further than that keeps the check itself in bounds.
std::string ClosedList(LPCSTR list)
{
    Require(list != NULL);
    for (size_t i = 1; i < 1000; ++i) {
        if (list[i] == '\0' && list[i - 1] == '\0')
            return std::string(list, i + 1);
    }
    std::abort();
}

BOOL Record(InstallerCall call)
{
    Require(StandInRecord.librariesOpen == 1);
    size_t number = StandInRecord.calls.size();
    call.result = (StandInRecord.failMask >> (number % 8) & 1) == 0;
    StandInRecord.calls.push_back(call);
    return call.result;
}

// Outputs filled to their stated size, so a short buffer would show.
void FillPath(LPSTR path, WORD pathMax, WORD* pathLength)
{
    Require(path != NULL && pathMax > 0 && pathLength != NULL);
    std::memset(path, 'p', pathMax - 1);
    path[pathMax - 1] = '\0';
    *pathLength = static_cast<WORD>(pathMax - 1);
}

BOOL INSTAPI InstallDriverManager(LPSTR path, WORD pathMax, WORD* pathLength)
{
    FillPath(path, pathMax, pathLength);
    return Record({"SQLInstallDriverManager", 0, "", "", FALSE});
}

BOOL InstallComponent(const char* function, LPCSTR spec, LPCSTR pathIn, LPSTR pathOut,
                      WORD pathMax, WORD* pathLength, WORD request, LPDWORD usageCount)
{
    Require(pathIn == NULL && request == ODBC_INSTALL_COMPLETE && usageCount != NULL);
    FillPath(pathOut, pathMax, pathLength);
    *usageCount = 42;
    return Record({function, request, "", ClosedList(spec), FALSE});
}

BOOL INSTAPI InstallTranslator(LPCSTR spec, LPCSTR pathIn, LPSTR pathOut, WORD pathMax,
                               WORD* pathLength, WORD request, LPDWORD usageCount)
{
    return InstallComponent("SQLInstallTranslatorEx", spec, pathIn, pathOut, pathMax, pathLength,
                            request, usageCount);
}

BOOL INSTAPI InstallDriver(LPCSTR spec, LPCSTR pathIn, LPSTR pathOut, WORD pathMax,
                           WORD* pathLength, WORD request, LPDWORD usageCount)
{
    return InstallComponent("SQLInstallDriverEx", spec, pathIn, pathOut, pathMax, pathLength,
                            request, usageCount);
}

BOOL INSTAPI ConfigDataSource(HWND parent, WORD request, LPCSTR driver, LPCSTR attributes)
{
    // The driver name lives in a 150-byte buffer.
    Require(parent == NULL && driver != NULL && memchr(driver, '\0', 150) != NULL);
    return Record({"SQLConfigDataSource", request, driver, ClosedList(attributes), FALSE});
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name)
{
    Require(std::strcmp(name, "odbccp32.dll") == 0 && StandInRecord.librariesOpen == 0);
    ++StandInRecord.librariesOpen;
    return STAND_IN_LIBRARY;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    Require(module == STAND_IN_LIBRARY && StandInRecord.librariesOpen == 1);
    static const struct {
        const char* name;
        FARPROC function;
    } exports[] = {
        {"SQLInstallDriverManager", reinterpret_cast<FARPROC>(InstallDriverManager)},
        {"SQLInstallTranslatorEx", reinterpret_cast<FARPROC>(InstallTranslator)},
        {"SQLInstallDriverEx", reinterpret_cast<FARPROC>(InstallDriver)},
        {"SQLConfigDataSource", reinterpret_cast<FARPROC>(ConfigDataSource)},
    };
    for (const auto& entry : exports) {
        if (std::strcmp(name, entry.name) == 0)
            return entry.function;
    }
    std::abort();
}

BOOL FreeLibrary(HMODULE module)
{
    Require(module == STAND_IN_LIBRARY && StandInRecord.librariesOpen == 1);
    --StandInRecord.librariesOpen;
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Require(owner == NULL && std::strcmp(caption, "Error") == 0 &&
            type == (MB_OK | MB_ICONWARNING));
    StandInRecord.warnings.push_back(text);
    return IDOK;
}
