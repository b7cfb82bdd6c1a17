// Whole-run benchmark against the real unixODBC installer library, printed
// in one table with the goals. Every figure is the median of several runs,
// with their min and max:
//   - start-up: velloran on a setup file of one driver beside installer_loop
//     installing the same driver (both load libodbcinst.so.2, one linked);
//   - N drivers: velloran's time beside installer_loop (the plain direct
//     loop) and `odbcinst -i -d -f` on a template of the same drivers;
//     velloran's own peak memory beside the loop's; and the cost of keeping
//     the heap between installer calls, as heap_run's peak with and without.
// Every run is a process with a fresh ODBCSYSINI, ODBCINI and HOME, under
// /dev/shm when writable: unixODBC rewrites odbcinst.ini on every call, and
// a disk's write-back would swamp the differences.
//
//   install_run_bench [-r REPEATS] [N ...]       (defaults: 5; 100 1000)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const int STARTUP_RUNS = 101;
const int MINIMUM_RUNS = 5;
std::string Base;

struct Run {
    bool ok;
    double milliseconds;
    double peakMiB;
    std::string installed;  // the odbcinst.ini it left
};

struct Spread {
    double median;
    double low;
    double high;
};

// One command's figures over all its runs.
struct Figures {
    Spread milliseconds;
    Spread peakMiB;
    std::string installed;  // the odbcinst.ini of its first run
};

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The same drivers as a setup file and as an odbcinst template, named as
// installer_loop names them.
bool WriteInputs(int drivers, const std::string& setupFile, const std::string& templateFile)
{
    std::string setup = "[Drivers]\n";
    std::string odbcinstTemplate;
    for (int n = 1; n <= drivers; ++n) {
        std::string i = std::to_string(n);
        std::string driver = "Driver=/opt/bench/libdrv" + i + ".so";
        std::string library = "Setup=/opt/bench/libsetup" + i + ".so";
        setup += "Driver" + i + "=Bench Driver " + i + "\\0" + driver + "\\0" + library + "\n";
        odbcinstTemplate += "[Bench Driver " + i + "]\n" + driver + "\n" + library + "\n\n";
    }
    std::ofstream setupOut(setupFile, std::ios::binary), templateOut(templateFile, std::ios::binary);
    return (setupOut << setup).flush() && (templateOut << odbcinstTemplate).flush();
}

// Driver names and paths hold no '[', so each one opens a section.
long Sections(const std::string& ini)
{
    return std::count(ini.begin(), ini.end(), '[');
}

// One process in a fresh ODBC directory, without a display or any malloc
// tuning from the environment. Fails unless it exits 0, writes nothing to
// standard error and leaves `drivers` drivers.
Run RunProcess(const std::vector<std::string>& command, int drivers)
{
    Run run = {false, 0, 0, ""};
    std::string directory = Base + "/run-XXXXXX";
    if (mkdtemp(&directory[0]) == NULL)
        return run;
    std::vector<std::string> env;
    for (char** entry = environ; *entry != NULL; ++entry) {
        std::string name(*entry, std::strcspn(*entry, "="));
        if (name != "DISPLAY" && name != "ODBCSYSINI" && name != "ODBCINI" && name != "ODBCINSTINI" &&
            name != "HOME" && name != "GLIBC_TUNABLES" && name.compare(0, 7, "MALLOC_") != 0)
            env.push_back(*entry);
    }
    env.insert(env.end(),
               {"ODBCSYSINI=" + directory, "ODBCINI=" + directory + "/odbc.ini", "HOME=" + directory});
    std::vector<char*> args, envp;
    for (const std::string& arg : command)
        args.push_back(const_cast<char*>(arg.c_str()));
    for (const std::string& variable : env)
        envp.push_back(const_cast<char*>(variable.c_str()));
    args.push_back(NULL);
    envp.push_back(NULL);
    std::string errors = directory + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT, 0644);

    timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid;
    int status = -1;
    struct rusage usage = {};
    int spawned = posix_spawn(&pid, args[0], &actions, NULL, args.data(), envp.data());
    while (spawned == 0 && wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    posix_spawn_file_actions_destroy(&actions);

    std::string complaint = ReadFile(errors);
    run.installed = ReadFile(directory + "/odbcinst.ini");
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    run.milliseconds = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    run.ok = spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && complaint.empty() &&
             Sections(run.installed) == drivers;
    if (!run.ok)
        std::fprintf(stderr, "%s failed (status %d, %ld of %d drivers): %.300s\n", command[0].c_str(),
                     status, Sections(run.installed), drivers, complaint.c_str());
    return run;
}

Spread Summarize(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    double median = values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// Runs the commands in turn, `runs` times, each round starting with the
// next one so that drift spreads evenly.
bool Measure(const std::vector<std::vector<std::string>>& commands, int drivers, int runs,
             std::vector<Figures>& figures)
{
    size_t count = commands.size();
    std::vector<std::vector<double>> times(count), peaks(count);
    figures.assign(count, Figures());
    for (int r = 0; r < runs; ++r) {
        for (size_t k = 0; k < count; ++k) {
            size_t c = (r + k) % count;
            Run run = RunProcess(commands[c], drivers);
            if (!run.ok)
                return false;
            times[c].push_back(run.milliseconds);
            peaks[c].push_back(run.peakMiB);
            if (figures[c].installed.empty())
                figures[c].installed = run.installed;
        }
    }
    for (size_t c = 0; c < count; ++c) {
        figures[c].milliseconds = Summarize(times[c]);
        figures[c].peakMiB = Summarize(peaks[c]);
    }
    return true;
}

// The same calls leave the same file, or the runs did different work.
bool SameInstalled(const std::vector<Figures>& figures, const std::vector<size_t>& others)
{
    bool same = true;
    for (size_t c : others) {
        if (figures[c].installed != figures[0].installed) {
            std::fprintf(stderr, "velloran and command %zu left different odbcinst.ini files\n", c);
            same = false;
        }
    }
    return same;
}

std::string Describe(const Spread& spread, const char* unit)
{
    char text[96];
    int digits = spread.median < 10 ? 2 : 1;
    std::snprintf(text, sizeof text, "%.*f %s (%.*f to %.*f)", digits, spread.median, unit, digits, spread.low,
                  digits, spread.high);
    return text;
}

// One row of the table: a figure beside its baseline, and the goal for the
// ratio of their medians (none when zero).
void PrintRow(const std::string& figure, const Spread& measured, const std::string& baseline,
              const Spread& base, const char* unit, double goal)
{
    double ratio = measured.median / base.median;
    char verdict[48] = "-";
    if (goal > 0)
        std::snprintf(verdict, sizeof verdict, "at most %.2fx: %s", goal, ratio <= goal ? "met" : "MISSED");
    std::printf("| %s | %s | %s, %s | %.3fx | %s |\n", figure.c_str(), Describe(measured, unit).c_str(),
                Describe(base, unit).c_str(), baseline.c_str(), ratio, verdict);
}

// The date and the load average, which say how busy the machine was.
std::string Conditions()
{
    char text[32];
    time_t now = time(NULL);
    strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", gmtime(&now));
    std::istringstream load(ReadFile("/proc/loadavg"));
    std::string one, five, fifteen;
    load >> one >> five >> fifteen;
    return std::string(text) + ", load average " + one + " " + five + " " + fifteen;
}

}  // namespace

int main(int argc, char** argv)
{
    int repeats = 5;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc)
            repeats = std::atoi(argv[++i]);
        else if (std::atoi(argv[i]) > 0)
            sizes.push_back(std::atoi(argv[i]));
        else
            repeats = 0;
    }
    if (repeats < MINIMUM_RUNS) {
        std::fprintf(stderr, "usage: %s [-r REPEATS, at least %d] [DRIVERS ...]\n", argv[0], MINIMUM_RUNS);
        return 2;
    }
    if (sizes.empty())
        sizes = {100, 1000};
    setvbuf(stdout, NULL, _IOLBF, 0);  // each row as it comes, even into a file
    Base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    Base += "/velloran-install-bench-XXXXXX";
    if (mkdtemp(&Base[0]) == NULL) {
        std::perror(Base.c_str());
        return 1;
    }
    // The run directories must be the only ODBC files written.
    std::string userFile = std::string(std::getenv("HOME") != NULL ? std::getenv("HOME") : "") + "/.odbc.ini";
    auto odbcFiles = [&] {
        return ReadFile("/etc/odbcinst.ini") + '\f' + ReadFile("/etc/odbc.ini") + '\f' + ReadFile(userFile);
    };
    const std::string before = odbcFiles();

    std::printf("install_run_bench: %s, runs in %s, medians of %d runs (start-up: %d), min and max in brackets\n\n",
                Conditions().c_str(), Base.c_str(), repeats, STARTUP_RUNS);
    std::printf("| figure | measured | baseline | ratio of medians | goal |\n|---|--:|--:|--:|---|\n");
    std::string single = Base + "/setup-1.ini";
    std::vector<std::vector<std::string>> startup = {{VELLORAN, single}, {INSTALLER_LOOP, "1"}};
    std::vector<Figures> m;
    // A first round of each, untimed, so that none pays for reading programs from disk.
    bool ok = WriteInputs(1, single, Base + "/template-1.ini") && Measure(startup, 1, 1, m) &&
              Measure(startup, 1, STARTUP_RUNS, m) && SameInstalled(m, {1});
    if (ok)
        PrintRow("start-up, 1 driver", m[0].milliseconds, "installer_loop, 1 driver (libodbcinst.so.2 linked)",
                 m[1].milliseconds, "ms", 1.5);
    for (size_t s = 0; s < sizes.size() && ok; ++s) {
        int n = sizes[s];
        std::string setup = Base + "/setup-" + std::to_string(n) + ".ini";
        std::string odbcinstTemplate = Base + "/template-" + std::to_string(n) + ".ini";
        enum { VELLORAN_RUN, LOOP, ODBCINST, KEPT, RELEASED };
        ok = WriteInputs(n, setup, odbcinstTemplate) &&
             Measure({{VELLORAN, setup},
                      {INSTALLER_LOOP, std::to_string(n)},
                      {ODBCINST_TOOL, "-i", "-d", "-f", odbcinstTemplate},
                      {HEAP_RUN, "keep", setup},
                      {HEAP_RUN, "default", setup}},
                     n, repeats, m) &&
             SameInstalled(m, {LOOP, KEPT, RELEASED});
        if (!ok)
            break;
        std::string drivers = std::to_string(n) + " drivers";
        PrintRow(drivers + ", time", m[VELLORAN_RUN].milliseconds, "direct loop", m[LOOP].milliseconds, "ms",
                 n == 100 ? 1.1 : n == 1000 ? 0.4 : 0);
        PrintRow(drivers + ", time", m[VELLORAN_RUN].milliseconds, "odbcinst -i -d -f",
                 m[ODBCINST].milliseconds, "ms", n == 1000 ? 0.4 : 0);
        PrintRow(drivers + ", velloran's peak memory", m[VELLORAN_RUN].peakMiB, "direct loop",
                 m[LOOP].peakMiB, "MiB", 0);
        PrintRow(drivers + ", peak memory, heap_run keeping the heap", m[KEPT].peakMiB,
                 "heap_run with glibc's default heap", m[RELEASED].peakMiB, "MiB", 1.1);
    }
    if (odbcFiles() != before) {
        std::fprintf(stderr, "the system's or the user's ODBC files changed during the benchmark\n");
        ok = false;
    }
    std::error_code ignored;
    std::filesystem::remove_all(Base, ignored);
    return ok ? 0 : 1;
}
