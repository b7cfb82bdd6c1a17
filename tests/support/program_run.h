// Running the built program as a separate process: a fresh directory per
// test, and the run's exit code and output.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A temporary directory, removed again with everything in it.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }
    // Where the ODBC configuration files of a run go.
    std::filesystem::path OdbcDir() const { return dir_ / "odbc"; }
    // Writes `text` to `name` below the directory, creating folders on the
    // way, and returns the file's path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path dir_;
};

struct ProgramResult {
    int exitCode;  // 128 + signal number when killed by a signal
    std::string output;
    std::string errors;
};

// Runs `program` with `arguments` in the test's environment, but with HOME,
// ODBCSYSINI and ODBCINI inside the sandbox, so no installer library touches
// the real configuration, and with the installer library search path and the
// fake installer's variables unset. `settings` ("NAME=value") come on top,
// replacing any of the same name.
ProgramResult RunProgram(const Sandbox& box, const std::string& program,
               const std::vector<std::string>& arguments,
               const std::vector<std::string>& settings);

// Where a started program's standard output and error go: files named after
// the run, or a pipe whose reader is already gone.
enum class ProgramOutput { FILES, CLOSED_PIPE };

// A program started in the background, as RunProgram runs it.
struct StartedProgram {
    int pid;
    std::filesystem::path output, errors;
};
StartedProgram StartProgram(const Sandbox& box, const std::string& program,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& settings,
                            const std::string& runName = "run",
                            ProgramOutput outputTo = ProgramOutput::FILES);
// Waits for it to end.
ProgramResult FinishProgram(const StartedProgram& started);

// The file's content; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

// A fake installer's record as velloran would leave it: without the error
// detail and the configuration reads (a load and unload with no call
// between) that only velloran-apply makes.
std::string ChangingCalls(const std::string& record);

typedef std::map<std::string, std::map<std::string, std::string>> IniSections;

// An odbc.ini or odbcinst.ini file read back as sections of keys and values;
// blanks around keys and values are dropped, a missing file has no sections.
IniSections ReadIni(const std::filesystem::path& path);
