// A whole installation run over a fuzzed setup file, against the in-process
// installer stand-in, some of whose calls fail. The calls made must be
// exactly those the file asks for, as the profile functions read it, each
// list closed within its buffer, and each failed call must get one warning.
#include "installer_stand_in.h"
#include "odbc_install.h"
#include "setup_file.h"
#include "temp_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Read(const char* section, const std::string& key, DWORD size)
{
    std::vector<char> buffer(size);
    GetPrivateProfileStringA(section, key.c_str(), "None", buffer.data(), size, SetupFilePath);
    return buffer.data();
}

// The list the installer should get for a value: each "\0" a NUL, 998 bytes
// at most, up to the first NUL pair.
std::string ListOf(const std::string& value)
{
    std::string list;
    for (size_t i = 0; i < value.size(); ++i) {
        bool escape = value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '0';
        list += escape ? '\0' : value[i];
        i += escape ? 1 : 0;
    }
    list = list.substr(0, ATTRIBUTE_LIST_SIZE - 2) + std::string(2, '\0');
    return list.substr(0, list.find(std::string(2, '\0')) + 2);
}

// Numbered keys stop where their names would outgrow 15 characters.
void ExpectList(std::vector<InstallerCall>& calls, const char* function, const char* section,
                const char* stem, long last)
{
    for (long n = 1; n <= last; ++n) {
        std::string value = Read(section, stem + std::to_string(n), ATTRIBUTE_LIST_SIZE);
        if (value == "None")
            return;
        calls.push_back({function, ODBC_INSTALL_COMPLETE, "", ListOf(value), TRUE});
    }
}

WORD RequestOf(const std::string& keyword)
{
    const char* keywords[] = {"ODBC_ADD_DSN",     "ODBC_CONFIG_DSN",     "ODBC_REMOVE_DSN",
                              "ODBC_ADD_SYS_DSN", "ODBC_CONFIG_SYS_DSN", "ODBC_REMOVE_SYS_DSN"};
    for (WORD request = 1; request <= 6; ++request) {
        if (keyword == keywords[request - 1])
            return request;
    }
    return ODBC_ADD_DSN;
}

std::vector<InstallerCall> ExpectedCalls()
{
    std::vector<InstallerCall> calls;
    if (GetPrivateProfileIntA("InstallManager", "Install", 0, SetupFilePath) != 0)
        calls.push_back({"SQLInstallDriverManager", 0, "", "", TRUE});
    ExpectList(calls, "SQLInstallTranslatorEx", "Translators", "Translator", 99999);
    ExpectList(calls, "SQLInstallDriverEx", "Drivers", "Driver", 999999999);
    for (long n = 1; n <= 999999; ++n) {
        std::string index = std::to_string(n);
        std::string driver = Read("Data Sources", "DSDriver" + index, 150);
        if (driver == "None")
            break;
        calls.push_back(
            {"SQLConfigDataSource", RequestOf(Read("Data Sources", "DSRequest" + index, 20)),
             driver, ListOf(Read("Data Sources", "DSAttrib" + index, ATTRIBUTE_LIST_SIZE)), TRUE});
    }
    return calls;
}

const char* WarningFor(const std::string& function)
{
    if (function == "SQLInstallDriverManager")
        return "Failed to install ODBC driver manager.";
    if (function == "SQLInstallTranslatorEx")
        return "Failed to install ODBC translator.";
    if (function == "SQLInstallDriverEx")
        return "Failed to install ODBC driver.";
    return "Failed to configure ODBC data source.";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ResetStandIn(input.ConsumeIntegral<uint8_t>());
    const std::string& path = WriteScratch(input.ConsumeRemainingBytesAsString());
    std::strcpy(SetupFilePath, path.c_str());

    RunInstallation();

    const InstallerRecord& record = StandInRecord;
    std::vector<InstallerCall> expected = ExpectedCalls();
    if (record.librariesOpen != 0 || record.calls.size() != expected.size())
        std::abort();
    std::vector<std::string> warnings;
    for (size_t i = 0; i < expected.size(); ++i) {
        const InstallerCall& made = record.calls[i];
        const InstallerCall& asked = expected[i];
        bool componentCall =
            made.function == "SQLInstallTranslatorEx" || made.function == "SQLInstallDriverEx";
        if (made.function != asked.function || made.driver != asked.driver ||
            made.list != asked.list ||
            ((componentCall || made.function == "SQLConfigDataSource") &&
             made.request != asked.request))
            std::abort();
        if (!made.result)
            warnings.push_back(WarningFor(made.function));
    }
    if (record.warnings != warnings)
        std::abort();
    return 0;
}
