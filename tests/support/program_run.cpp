// Runs the built program through fork and exec, with a chosen environment,
// its output caught in files of the test's sandbox.
#include "program_run.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

Sandbox::Sandbox()
{
    std::string pattern = (fs::temp_directory_path() / "velloran-blackbox-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    dir_ = pattern;
    fs::create_directory(OdbcDir());
}

Sandbox::~Sandbox()
{
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string Sandbox::Write(const std::string& name, const std::string& text) const
{
    fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::string ReadText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

namespace {

std::string Trim(std::string text)
{
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

IniSections ReadIni(const fs::path& path)
{
    IniSections sections;
    std::string section;
    std::istringstream lines(ReadText(path));
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
        } else if (equals != std::string::npos) {
            sections[section][Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
        }
    }
    return sections;
}

ProgramResult RunProgram(const Sandbox& box, const std::string& program,
               const std::vector<std::string>& arguments,
               const std::vector<std::string>& settings)
{
    return FinishProgram(StartProgram(box, program, arguments, settings));
}

namespace {

// Both ends of a pipe, the reading one closed: every write fails with EPIPE.
int ClosedPipe(void)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");
    close(ends[0]);
    return ends[1];
}

}  // namespace

StartedProgram StartProgram(const Sandbox& box, const std::string& program,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& settings,
                            const std::string& runName, ProgramOutput outputTo)
{
    static const char* const controlled[] = {"LD_LIBRARY_PATH", "VELLORAN_FAKE_LOG",
                                             "VELLORAN_FAKE_FAIL", "HOME", "ODBCSYSINI",
                                             "ODBCINI", "ODBCINSTINI", "DISPLAY"};
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool keep = true;
        for (const char* variable : controlled)
            keep = keep && name != variable;
        if (keep)
            environment.push_back(text);
    }
    std::vector<std::string> chosen = {"HOME=" + box.Dir().string(),
                                       "ODBCSYSINI=" + box.OdbcDir().string(),
                                       "ODBCINI=" + (box.OdbcDir() / "odbc.ini").string()};
    chosen.insert(chosen.end(), settings.begin(), settings.end());
    // A setting replaces an earlier one of the same name: getenv would
    // otherwise find the first.
    for (const std::string& setting : chosen) {
        std::string prefix = setting.substr(0, setting.find('=') + 1);
        environment.erase(std::remove_if(environment.begin(), environment.end(),
                                         [&](const std::string& entry) {
                                             return entry.compare(0, prefix.size(), prefix) == 0;
                                         }),
                          environment.end());
        environment.push_back(setting);
    }

    // Everything exec needs is ready before fork.
    std::vector<std::string> argumentTexts = {program};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (std::string& text : argumentTexts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    for (std::string& text : environment)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    fs::path outputPath = box.Dir() / (runName + ".stdout");
    fs::path errorPath = box.Dir() / (runName + ".stderr");
    int output, errors;
    if (outputTo == ProgramOutput::CLOSED_PIPE) {
        output = ClosedPipe();
        errors = dup(output);
    } else {
        output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        errors = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    if (output < 0 || errors < 0)
        throw std::runtime_error("cannot create the output files");
    pid_t child = fork();
    if (child == 0) {
        if (dup2(output, STDOUT_FILENO) >= 0 && dup2(errors, STDERR_FILENO) >= 0)
            execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(output);
    close(errors);
    if (child < 0)
        throw std::runtime_error("cannot run the program");
    return StartedProgram{child, outputPath, errorPath};
}

ProgramResult FinishProgram(const StartedProgram& started)
{
    int status = 0;
    if (waitpid(started.pid, &status, 0) != started.pid)
        throw std::runtime_error("cannot run the program");
    int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ProgramResult{exitCode, ReadText(started.output), ReadText(started.errors)};
}

std::string ChangingCalls(const std::string& record)
{
    std::vector<std::string> kept;
    std::istringstream lines(record);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 17, "SQLInstallerError") == 0)
            continue;
        if (line == "unload" && !kept.empty() && kept.back() == "load")
            kept.pop_back();
        else
            kept.push_back(line);
    }
    std::string joined;
    for (const std::string& line : kept)
        joined += line + "\n";
    return joined;
}
