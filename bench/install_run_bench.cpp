// Whole-run benchmark against the real unixODBC installer library, for N
// drivers: (a) the velloran binary run as a process on a setup file,
// (b) the limit, the same SQLInstallDriverEx calls in a loop with the
// library loaded once, and (c) unixODBC's "odbcinst -i -d -f" on a template
// holding the same drivers. A plain program timing each run itself.
// Two more figures split velloran's overhead over the limit: its start-up
// alone (a setup file without drivers), and a run with the installer
// library preloaded, which makes each per-call load and release a mere
// reference count.
//
// Every run gets a fresh directory as ODBCSYSINI, ODBCINI and HOME, so the
// system's and the user's ODBC files are never written; the program checks
// that they kept their time stamps, and that each run left exactly N
// drivers behind. The directories go under /dev/shm when it is there, as
// unixODBC rewrites odbcinst.ini on every call and a disk's write-back
// would swamp the differences; --dir puts them elsewhere.
//
//   install_run_bench [-r REPEATS] [--dir DIR] [N ...]   (-r 5, 100 1000)
#include <odbcinst.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <link.h>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

enum { INSTALLER_PATH_SIZE = 260 };

const char* const MethodNames[] = {"velloran (process)", "limit (one dlopen, loop)",
                                   "odbcinst -i -d -f", "velloran, library preloaded"};
enum Method { VELLORAN, LIMIT, ODBCINST_TOOL_RUN, VELLORAN_PRELOADED, METHOD_COUNT };

const long TMPFS_MAGIC_NUMBER = 0x01021994;

std::string BaseDirectory;

double NowMilliseconds(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec now;
    clock_gettime(clock, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Milliseconds(const timeval& time)
{
    return time.tv_sec * 1e3 + time.tv_usec / 1e3;
}

// Wall-clock time is what the targets are about; CPU time (user + system)
// is the cross-check that other work on the machine disturbs less.
struct Timing {
    double wall;  // negative when the run failed
    double cpu;
};

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string DriverName(int n)
{
    return "Bench Driver " + std::to_string(n);
}

std::string DriverLibrary(int n)
{
    return "/opt/bench/lib/libbenchdrv" + std::to_string(n) + ".so";
}

std::string SetupLibrary(int n)
{
    return "/opt/bench/lib/libbenchsetup" + std::to_string(n) + ".so";
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    return static_cast<bool>(file.flush());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string SetupFileText(int drivers)
{
    std::string text = "[InstallManager]\nInstall=0\n\n[Drivers]\n";
    for (int n = 1; n <= drivers; ++n) {
        text += "Driver" + std::to_string(n) + "=" + DriverName(n) + "\\0Driver=" +
                DriverLibrary(n) + "\\0Setup=" + SetupLibrary(n) + "\n";
    }
    return text;
}

std::string TemplateText(int drivers)
{
    std::string text;
    for (int n = 1; n <= drivers; ++n) {
        text += "[" + DriverName(n) + "]\nDriver=" + DriverLibrary(n) + "\nSetup=" +
                SetupLibrary(n) + "\n\n";
    }
    return text;
}

// What the program hands the installer after decoding: NUL-separated and
// closed by two NULs.
std::vector<std::string> AttributeLists(int drivers)
{
    std::vector<std::string> lists;
    for (int n = 1; n <= drivers; ++n) {
        std::string list = DriverName(n);
        list += '\0';
        list += "Driver=" + DriverLibrary(n);
        list += '\0';
        list += "Setup=" + SetupLibrary(n);
        list += '\0';
        lists.push_back(list);  // c_str() adds the closing NUL
    }
    return lists;
}

// The parent's environment with the ODBC locations pointed into the run's
// directory. ODBCINSTINI goes: it could rename the file out of that
// directory.
std::vector<std::string> ChildEnvironment(const std::string& directory, bool preload = false)
{
    std::vector<std::string> env;
    std::string preloads = "libodbcinst.so.2";
    for (char** entry = environ; *entry != NULL; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        if (preload && name == "LD_PRELOAD")
            preloads += " " + text.substr(name.size() + 1);
        else if (name != "ODBCSYSINI" && name != "ODBCINI" && name != "HOME" && name != "ODBCINSTINI")
            env.push_back(text);
    }
    env.push_back("ODBCSYSINI=" + directory);
    env.push_back("ODBCINI=" + directory + "/odbc.ini");
    env.push_back("HOME=" + directory);
    if (preload)
        env.push_back("LD_PRELOAD=" + preloads);
    return env;
}

std::vector<char*> PointerList(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(&s[0]);
    pointers.push_back(NULL);
    return pointers;
}

// From spawn to exit; a negative wall time when the program could not run
// or failed.
Timing TimeProcess(std::vector<std::string> argv, std::vector<std::string> env)
{
    const Timing failed = {-1, -1};
    std::string out = BaseDirectory + "/stdout.txt";
    std::string err = BaseDirectory + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args = PointerList(argv);
    std::vector<char*> envp = PointerList(env);

    double start = NowMilliseconds();
    pid_t pid;
    int spawned = posix_spawn(&pid, args[0], &actions, NULL, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(spawned));
        return failed;
    }
    int status = 0;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Timing timing = {NowMilliseconds() - start, Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime)};

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", args[0], status);
        return failed;
    }
    // velloran warns on standard error for each failed installation.
    std::string warnings = ReadFile(err);
    if (!warnings.empty()) {
        std::fprintf(stderr, "%s reported:\n%.500s\n", args[0], warnings.c_str());
        return failed;
    }
    return timing;
}

// The limit runs in a child so that each run starts with the library
// unloaded: unixODBC keeps the ODBCSYSINI path it first saw in a static.
Timing TimeLimit(const std::vector<std::string>& lists, const std::string& directory)
{
    const Timing failed = {-1, -1};
    int channel[2];
    if (pipe(channel) != 0)
        return failed;
    pid_t pid = fork();
    if (pid < 0)
        return failed;
    if (pid == 0) {
        close(channel[0]);
        unsetenv("ODBCINSTINI");
        setenv("ODBCSYSINI", directory.c_str(), 1);
        setenv("ODBCINI", (directory + "/odbc.ini").c_str(), 1);
        setenv("HOME", directory.c_str(), 1);
        // Wall time, CPU time, failed installations.
        double result[3] = {-1, -1, 0};

        double start = NowMilliseconds();
        double startCpu = NowMilliseconds(CLOCK_PROCESS_CPUTIME_ID);
        void* library = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
        if (library != NULL) {
            auto install = reinterpret_cast<decltype(&SQLInstallDriverEx)>(
                reinterpret_cast<void (*)(void)>(dlsym(library, "SQLInstallDriverEx")));
            if (install != NULL) {
                for (const std::string& list : lists) {
                    char path[INSTALLER_PATH_SIZE];
                    WORD pathLength = 0;
                    DWORD usageCount = 0;
                    if (!install(list.c_str(), NULL, path, INSTALLER_PATH_SIZE, &pathLength,
                                 ODBC_INSTALL_COMPLETE, &usageCount))
                        result[2] += 1;
                }
                result[0] = 0;
            }
            dlclose(library);
        }
        if (result[0] == 0) {
            result[0] = NowMilliseconds() - start;
            result[1] = NowMilliseconds(CLOCK_PROCESS_CPUTIME_ID) - startCpu;
        }
        ssize_t written = write(channel[1], result, sizeof result);
        _exit(written == static_cast<ssize_t>(sizeof result) ? 0 : 1);
    }
    close(channel[1]);
    double result[3] = {-1, -1, 0};
    ssize_t got = read(channel[0], result, sizeof result);
    close(channel[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof result) || result[0] < 0) {
        std::fprintf(stderr, "the limit loop could not load the installer library\n");
        return failed;
    }
    if (result[2] > 0) {
        std::fprintf(stderr, "the limit loop saw %.0f failed installations\n", result[2]);
        return failed;
    }
    Timing timing = {result[0], result[1]};
    return timing;
}

// Which file the dynamic linker picks for the installer, found in a child
// so that this process never holds the library.
std::string InstallerLibraryPath()
{
    int channel[2];
    if (pipe(channel) != 0)
        return "?";
    pid_t pid = fork();
    if (pid < 0)
        return "?";
    if (pid == 0) {
        close(channel[0]);
        void* library = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
        struct link_map* map = NULL;
        const char* path = library != NULL && dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != NULL
                               ? map->l_name
                               : "not found";
        ssize_t written = write(channel[1], path, std::strlen(path));
        _exit(written > 0 ? 0 : 1);
    }
    close(channel[1]);
    std::string path;
    char chunk[256];
    ssize_t count;
    while ((count = read(channel[0], chunk, sizeof chunk)) > 0)
        path.append(chunk, static_cast<size_t>(count));
    close(channel[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return path;
}

int CountSections(const std::string& text)
{
    int sections = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[')
            ++sections;
    }
    return sections;
}

struct Workload {
    int drivers;
    std::string setupFile;
    std::string templateFile;
    std::vector<std::string> lists;
};

struct RunResult {
    Timing time;
    std::string installed;  // the odbcinst.ini the run left
};

// One run in a fresh directory, removed afterwards.
RunResult RunOnce(Method method, const Workload& work)
{
    RunResult result = {{-1, -1}, std::string()};
    std::string pattern = BaseDirectory + "/run-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == NULL)
        return result;
    std::string directory = name.data();

    switch (method) {
    case VELLORAN:
        result.time = TimeProcess({VELLORAN_PATH, work.setupFile}, ChildEnvironment(directory));
        break;
    case LIMIT:
        result.time = TimeLimit(work.lists, directory);
        break;
    case ODBCINST_TOOL_RUN:
        result.time = TimeProcess({ODBCINST_TOOL, "-i", "-d", "-f", work.templateFile},
                                          ChildEnvironment(directory));
        break;
    case VELLORAN_PRELOADED:
        result.time =
            TimeProcess({VELLORAN_PATH, work.setupFile}, ChildEnvironment(directory, true));
        break;
    default:
        break;
    }
    result.installed = ReadFile(directory + "/odbcinst.ini");
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);

    int sections = CountSections(result.installed);
    if (result.time.wall >= 0 && sections != work.drivers) {
        std::fprintf(stderr, "%s left %d drivers instead of %d\n", MethodNames[method], sections,
                     work.drivers);
        result.time.wall = -1;
    }
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The targets for velloran over the limit; sizes without one show "-".
double TargetRatio(int drivers)
{
    if (drivers == 100)
        return 1.5;
    if (drivers == 1000)
        return 1.05;
    return 0;
}

struct FileStamp {
    bool exists;
    struct stat info;
};

FileStamp Stamp(const std::string& path)
{
    FileStamp stamp;
    stamp.exists = stat(path.c_str(), &stamp.info) == 0;
    return stamp;
}

bool SameStamp(const FileStamp& a, const FileStamp& b)
{
    if (a.exists != b.exists)
        return false;
    return !a.exists || (a.info.st_size == b.info.st_size &&
                         a.info.st_mtim.tv_sec == b.info.st_mtim.tv_sec &&
                         a.info.st_mtim.tv_nsec == b.info.st_mtim.tv_nsec &&
                         a.info.st_ctim.tv_sec == b.info.st_ctim.tv_sec &&
                         a.info.st_ctim.tv_nsec == b.info.st_ctim.tv_nsec);
}

bool ParseArguments(int argc, char** argv, int& repeats, std::string& parent,
                    std::vector<int>& sizes)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "-r" || arg == "--repeats") && i + 1 < argc) {
            repeats = std::atoi(argv[++i]);
            if (repeats < 1)
                return false;
        } else if (arg == "--dir" && i + 1 < argc) {
            parent = argv[++i];
        } else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos) {
            int n = std::atoi(arg.c_str());
            if (n < 1)
                return false;
            sizes.push_back(n);
        } else {
            return false;
        }
    }
    if (sizes.empty())
        sizes = {100, 1000};
    return true;
}

std::string DefaultParent()
{
    struct stat info;
    if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp != NULL && *tmp != '\0' ? tmp : "/tmp";
}

bool MakeWorkload(int drivers, Workload& work)
{
    std::string stem = BaseDirectory + "/" + std::to_string(drivers);
    work = {drivers, stem + "-setup.ini", stem + "-template.ini", AttributeLists(drivers)};
    return WriteFile(work.setupFile, SetupFileText(drivers)) &&
           WriteFile(work.templateFile, TemplateText(drivers));
}

}  // namespace

int main(int argc, char** argv)
{
    int repeats = 5;
    std::string parent = DefaultParent();
    std::vector<int> sizes;
    if (!ParseArguments(argc, argv, repeats, parent, sizes)) {
        std::fprintf(stderr, "usage: %s [-r REPEATS] [--dir DIR] [DRIVERS ...]\n", argv[0]);
        return 2;
    }

    std::string pattern = parent + "/velloran-install-bench-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == NULL) {
        std::perror(pattern.c_str());
        return 1;
    }
    BaseDirectory = name.data();
    struct statfs fileSystem;
    bool onTmpfs = statfs(BaseDirectory.c_str(), &fileSystem) == 0 &&
                   static_cast<long>(fileSystem.f_type) == TMPFS_MAGIC_NUMBER;

    const char* home = std::getenv("HOME");
    std::vector<std::string> guarded = {"/etc/odbcinst.ini", "/etc/odbc.ini"};
    if (home != NULL)
        guarded.push_back(std::string(home) + "/.odbc.ini");
    std::vector<FileStamp> stamps;
    for (const std::string& path : guarded)
        stamps.push_back(Stamp(path));

    std::printf("Installation runs against unixODBC's libodbcinst.so.2, %d repeats each\n", repeats);
    std::printf("velloran: %s\nodbcinst: %s\ninstaller library: %s\n", VELLORAN_PATH, ODBCINST_TOOL,
                InstallerLibraryPath().c_str());
    std::printf("run directories under %s (%s)\n", parent.c_str(), onTmpfs ? "tmpfs" : "not tmpfs");
    std::printf("load average at start: %s\n", LoadAverage().c_str());

    bool ok = true;
    // Start-up: the process and its reads, with nothing to install. An
    // untimed round of every method first, so that none pays for loading
    // programs and libraries from disk.
    Workload empty;
    double startup = 0;
    if (MakeWorkload(0, empty)) {
        Workload warm;
        ok = MakeWorkload(1, warm);
        for (int m = 0; m < METHOD_COUNT && ok; ++m)
            ok = RunOnce(static_cast<Method>(m), warm).time.wall >= 0;
        std::vector<double> times;
        for (int r = 0; r < 2 * repeats + 1 && ok; ++r) {
            double t = RunOnce(VELLORAN, empty).time.wall;
            ok = t >= 0;
            times.push_back(t);
        }
        if (ok) {
            startup = Median(times);
            std::printf("velloran start-up, no drivers: median %.2f ms\n", startup);
        }
    } else {
        ok = false;
    }

    std::map<int, std::vector<double>> medians;
    std::map<int, std::vector<double>> cpuMedians;
    for (size_t s = 0; s < sizes.size() && ok; ++s) {
        int drivers = sizes[s];
        Workload work;
        if (!MakeWorkload(drivers, work)) {
            std::fprintf(stderr, "cannot write the input files\n");
            ok = false;
            break;
        }

        std::vector<double> times[METHOD_COUNT];
        std::vector<double> cpuTimes[METHOD_COUNT];
        std::string firstInstalled[METHOD_COUNT];
        for (int r = 0; r < repeats && ok; ++r) {
            // Each repeat starts with another method, to spread any drift.
            for (int k = 0; k < METHOD_COUNT; ++k) {
                Method method = static_cast<Method>((r + k) % METHOD_COUNT);
                RunResult run = RunOnce(method, work);
                if (run.time.wall < 0) {
                    ok = false;
                    break;
                }
                times[method].push_back(run.time.wall);
                cpuTimes[method].push_back(run.time.cpu);
                if (firstInstalled[method].empty())
                    firstInstalled[method] = run.installed;
            }
        }
        if (!ok)
            break;
        // Same calls, same file: anything else means a velloran run did
        // different work from the limit.
        if (firstInstalled[VELLORAN] != firstInstalled[LIMIT] ||
            firstInstalled[VELLORAN_PRELOADED] != firstInstalled[LIMIT]) {
            std::fprintf(stderr, "velloran and the limit left different odbcinst.ini files\n");
            ok = false;
            break;
        }

        std::printf("\n%d drivers (ms per run, then the median)\n", drivers);
        std::vector<double>& median = medians[drivers];
        std::vector<double>& cpuMedian = cpuMedians[drivers];
        for (int m = 0; m < METHOD_COUNT; ++m) {
            median.push_back(Median(times[m]));
            cpuMedian.push_back(Median(cpuTimes[m]));
        }
        for (int m = 0; m < METHOD_COUNT; ++m) {
            if (m == VELLORAN_PRELOADED)
                continue;
            std::printf("  %-28s", MethodNames[m]);
            for (double t : times[m])
                std::printf(" %8.1f", t);
            std::printf("   median %8.1f\n", median[m]);
        }
        if (firstInstalled[ODBCINST_TOOL_RUN] != firstInstalled[LIMIT])
            std::printf("  (odbcinst left a different odbcinst.ini from the other two)\n");
        double toLimit = median[VELLORAN] / median[LIMIT];
        double target = TargetRatio(drivers);
        std::printf("  velloran / limit    %.3fx", toLimit);
        if (target > 0)
            std::printf("   target %.2fx: %s", target, toLimit <= target ? "met" : "NOT met");
        std::printf("\n  velloran / odbcinst %.3fx\n", median[VELLORAN] / median[ODBCINST_TOOL_RUN]);

        double overhead = median[VELLORAN] - median[LIMIT];
        std::printf("  velloran over the limit: %.1f ms = start-up %.1f ms + %.0f us a driver\n",
                    overhead, startup, (overhead - startup) * 1e3 / drivers);
        std::printf("  %-28s", MethodNames[VELLORAN_PRELOADED]);
        for (double t : times[VELLORAN_PRELOADED])
            std::printf(" %8.1f", t);
        std::printf("   median %8.1f  (%.3fx the limit)\n", median[VELLORAN_PRELOADED],
                    median[VELLORAN_PRELOADED] / median[LIMIT]);
        std::printf("  CPU time medians: velloran %.1f, limit %.1f, odbcinst %.1f, preloaded %.1f;"
                    " velloran / limit %.3fx\n",
                    cpuMedian[VELLORAN], cpuMedian[LIMIT], cpuMedian[ODBCINST_TOOL_RUN],
                    cpuMedian[VELLORAN_PRELOADED], cpuMedian[VELLORAN] / cpuMedian[LIMIT]);
    }

    if (!medians.empty()) {
        std::printf("\nSummary (medians; load average now %s)\n\n", LoadAverage().c_str());
        std::printf("| drivers | velloran | limit | odbcinst | velloran/limit | target | velloran/odbcinst |"
                    " velloran/limit, CPU time |\n");
        std::printf("|--------:|---------:|------:|---------:|---------------:|-------:|------------------:|"
                    "-------------------------:|\n");
        for (const auto& entry : medians) {
            const std::vector<double>& m = entry.second;
            double toLimit = m[VELLORAN] / m[LIMIT];
            double target = TargetRatio(entry.first);
            char targetText[32] = "-";
            if (target > 0)
                std::snprintf(targetText, sizeof targetText, "%.2fx %s", target,
                              toLimit <= target ? "met" : "missed");
            const std::vector<double>& cpu = cpuMedians[entry.first];
            std::printf("| %d | %.1f ms | %.1f ms | %.1f ms | %.3fx | %s | %.3fx | %.3fx |\n", entry.first,
                        m[VELLORAN], m[LIMIT], m[ODBCINST_TOOL_RUN], toLimit, targetText,
                        m[VELLORAN] / m[ODBCINST_TOOL_RUN], cpu[VELLORAN] / cpu[LIMIT]);
        }
        std::printf("\n| drivers | velloran over limit | start-up | per driver | library preloaded / limit |\n");
        std::printf("|--------:|--------------------:|---------:|-----------:|--------------------------:|\n");
        for (const auto& entry : medians) {
            const std::vector<double>& m = entry.second;
            double overhead = m[VELLORAN] - m[LIMIT];
            std::printf("| %d | %.1f ms | %.1f ms | %.0f us | %.3fx |\n", entry.first, overhead, startup,
                        (overhead - startup) * 1e3 / entry.first, m[VELLORAN_PRELOADED] / m[LIMIT]);
        }
    }

    for (size_t i = 0; i < guarded.size(); ++i) {
        if (!SameStamp(stamps[i], Stamp(guarded[i]))) {
            std::fprintf(stderr, "%s changed during the benchmark\n", guarded[i].c_str());
            ok = false;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(BaseDirectory, ignored);
    return ok ? 0 : 1;
}
