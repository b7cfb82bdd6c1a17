// Reading benchmark: the profile functions answering every key an
// installation run asks for, on setup files of 1,000 to 50,000 drivers.
// "ColdPass" starts every pass with a parse of the file, as a run does;
// "SteadyPass" reads a file that is already parsed; "FirstRead" is the
// run's first read alone, which pays for the parse. The summary at the end
// gives the time per pass and per key, which stays flat when reading is
// linear, and checks the cold pass at the largest size against 100 ms.
#include "platform.h"
#include "setup_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int DriverCounts[] = {1000, 10000, 50000};
const int TranslatorCount = 2;
const int DataSourceCount = 2;
const double ColdPassTargetMs = 100.0;

struct PassResult {
    int keys;
    int drivers;
    int translators;
    int dataSources;
};

// A numbered list read the way the translator and driver phases read it:
// same key names, "None" default and 1000-byte buffer.
int ReadComponentList(LPCSTR section, LPCSTR keyFormat, LPCSTR path, int& keys)
{
    char key[LIST_KEY_SIZE];
    char value[ATTRIBUTE_LIST_SIZE];
    int found = 0;
    for (int n = 1; FormatListKey(key, keyFormat, n); ++n) {
        GetPrivateProfileStringA(section, key, "None", value, sizeof value, path);
        ++keys;
        if (lstrcmpA(value, "None") == 0)
            break;
        ++found;
    }
    return found;
}

// The data-source phase: three keys an entry, with its own buffer sizes.
int ReadDataSources(LPCSTR path, int& keys)
{
    char key[LIST_KEY_SIZE];
    char keyword[20];
    char driver[150];
    char attributes[ATTRIBUTE_LIST_SIZE];
    int found = 0;
    for (int n = 1; FormatListKey(key, "DSRequest%d", n); ++n) {
        FormatListKey(key, "DSDriver%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", driver, sizeof driver, path);
        ++keys;
        if (lstrcmpA(driver, "None") == 0)
            break;
        FormatListKey(key, "DSAttrib%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", attributes, sizeof attributes, path);
        FormatListKey(key, "DSRequest%d", n);
        GetPrivateProfileStringA("Data Sources", key, "None", keyword, sizeof keyword, path);
        keys += 2;
        ++found;
    }
    return found;
}

// Every read of a run, in the run's order, without the installer calls.
PassResult ReadLikeARun(LPCSTR path)
{
    PassResult result = {1, 0, 0, 0};
    benchmark::DoNotOptimize(GetPrivateProfileIntA("InstallManager", "Install", 0, path));
    result.translators = ReadComponentList("Translators", "Translator%d", path, result.keys);
    result.drivers = ReadComponentList("Drivers", "Driver%d", path, result.keys);
    result.dataSources = ReadDataSources(path, result.keys);
    return result;
}

std::string SetupFileText(int drivers)
{
    std::string text = "[Settings]\nTitle=Bench\n\n[InstallManager]\nInstall=0\n\n[Translators]\n";
    char line[300];
    for (int n = 1; n <= TranslatorCount; ++n) {
        std::snprintf(line, sizeof line,
                      "Translator%d=Bench Translator %d\\0Translator=/opt/bench/lib/libbenchtr%d.so"
                      "\\0Setup=/opt/bench/lib/libbenchtrsetup%d.so\n",
                      n, n, n, n);
        text += line;
    }
    text += "\n[Drivers]\n";
    for (int n = 1; n <= drivers; ++n) {
        std::snprintf(line, sizeof line,
                      "Driver%d=Bench Driver %d\\0Driver=/opt/bench/lib/libbenchdrv%d.so"
                      "\\0Setup=/opt/bench/lib/libbenchsetup%d.so\n",
                      n, n, n, n);
        text += line;
    }
    text += "\n[Data Sources]\n";
    for (int n = 1; n <= DataSourceCount; ++n) {
        std::snprintf(line, sizeof line,
                      "DSDriver%d=Bench Driver %d\nDSAttrib%d=DSN=bench%d\\0Database=/var/lib/bench/%d.db\n"
                      "DSRequest%d=ODBC_ADD_SYS_DSN\n",
                      n, n, n, n, n, n);
        text += line;
    }
    return text;
}

// Two identical copies per size: the cache keys on the file, so reading
// them in turn forces a parse on every pass.
struct SetupFilePair {
    std::string first;
    std::string second;
};

std::string WorkDirectory;
std::map<int, SetupFilePair> SetupFiles;

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    return static_cast<bool>(file.flush());
}

bool CreateSetupFiles()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != NULL && *tmp != '\0' ? tmp : "/tmp") +
                          "/velloran-profile-bench-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == NULL)
        return false;
    WorkDirectory = buffer.data();
    for (int drivers : DriverCounts) {
        std::string text = SetupFileText(drivers);
        std::string stem = WorkDirectory + "/setup-" + std::to_string(drivers);
        SetupFilePair pair = {stem + "-a.ini", stem + "-b.ini"};
        if (!WriteFile(pair.first, text) || !WriteFile(pair.second, text))
            return false;
        SetupFiles[drivers] = pair;
    }
    // A parse of a file changed in the current clock tick is not kept, so
    // the files must age a little before a steady state can exist.
    usleep(100 * 1000);
    return true;
}

void RemoveSetupFiles()
{
    for (const auto& entry : SetupFiles) {
        unlink(entry.second.first.c_str());
        unlink(entry.second.second.c_str());
    }
    if (!WorkDirectory.empty())
        rmdir(WorkDirectory.c_str());
}

// A pass that found less than the file holds would time a shortcut, not
// the reading.
bool CheckPass(benchmark::State& state, const PassResult& pass, int drivers)
{
    if (pass.drivers != drivers || pass.translators != TranslatorCount ||
        pass.dataSources != DataSourceCount) {
        state.SkipWithError("a pass did not find every entry of the setup file");
        return false;
    }
    state.SetComplexityN(drivers);
    state.counters["keys"] = pass.keys;
    state.counters["per_key"] = benchmark::Counter(
        pass.keys, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    return true;
}

void ColdPass(benchmark::State& state)
{
    const int drivers = static_cast<int>(state.range(0));
    const SetupFilePair& files = SetupFiles.at(drivers);
    // Leave the second copy cached so that the first pass parses too.
    ReadLikeARun(files.second.c_str());
    PassResult pass = {};
    bool second = false;
    for (auto _ : state) {
        pass = ReadLikeARun(second ? files.second.c_str() : files.first.c_str());
        second = !second;
        benchmark::DoNotOptimize(pass);
    }
    CheckPass(state, pass, drivers);
}

// Should this come out as cheap as a single lookup, the cold pass is not
// parsing either.
void FirstRead(benchmark::State& state)
{
    const int drivers = static_cast<int>(state.range(0));
    const SetupFilePair& files = SetupFiles.at(drivers);
    GetPrivateProfileIntA("InstallManager", "Install", 0, files.second.c_str());
    bool second = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetPrivateProfileIntA(
            "InstallManager", "Install", 0, second ? files.second.c_str() : files.first.c_str()));
        second = !second;
    }
    state.SetComplexityN(drivers);
}

void SteadyPass(benchmark::State& state)
{
    const int drivers = static_cast<int>(state.range(0));
    const char* path = SetupFiles.at(drivers).first.c_str();
    ReadLikeARun(path);
    PassResult pass = {};
    for (auto _ : state) {
        pass = ReadLikeARun(path);
        benchmark::DoNotOptimize(pass);
    }
    CheckPass(state, pass, drivers);
}

void RegisterPass(const char* name, void (*function)(benchmark::State&))
{
    benchmark::internal::Benchmark* bench = benchmark::RegisterBenchmark(name, function);
    for (int drivers : DriverCounts)
        bench->Arg(drivers);
    bench->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity(benchmark::oN);
}

// The usual console table, plus a summary once everything has run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Aggregates carry no complexity N, so the size comes from the name.
            int64_t drivers = std::atoll(run.run_name.args.c_str());
            if (run.error_occurred || run.report_big_o || run.report_rms || drivers <= 0)
                continue;
            // With repetitions, the median stands for the size.
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            Figure& figure = figures_[run.run_name.function_name][drivers];
            if (figure.fromMedian && !median)
                continue;
            figure.fromMedian = median;
            figure.milliseconds = ToMilliseconds(run.GetAdjustedRealTime(), run.time_unit);
            auto keys = run.counters.find("keys");
            figure.keys = keys != run.counters.end() ? keys->second.value : 0;
        }
    }

    void PrintSummary() const
    {
        auto cold = figures_.find("ColdPass");
        auto steady = figures_.find("SteadyPass");
        auto first = figures_.find("FirstRead");
        if (cold == figures_.end() || steady == figures_.end()) {
            std::printf("\nNo summary: ColdPass and SteadyPass must both run.\n");
            return;
        }
        std::printf("\nReading every key of a run (real time; keys = reads a run makes)\n\n");
        std::printf("| drivers | keys/pass | cold pass (parse + reads) | steady pass | first read (parse) "
                    "| per key cold | per key steady |\n");
        std::printf("|--------:|----------:|--------------------------:|------------:|-------------------:"
                    "|-------------:|---------------:|\n");
        double firstCold = 0, lastCold = 0, firstSteady = 0, lastSteady = 0;
        int64_t lastDrivers = 0;
        for (const auto& entry : cold->second) {
            auto steadyFigure = steady->second.find(entry.first);
            if (steadyFigure == steady->second.end() || entry.second.keys <= 0)
                continue;
            const Figure& c = entry.second;
            const Figure& s = steadyFigure->second;
            double coldPerKey = c.milliseconds * 1e6 / c.keys;
            double steadyPerKey = s.milliseconds * 1e6 / s.keys;
            char parse[32] = "-";
            if (first != figures_.end() && first->second.count(entry.first) != 0)
                std::snprintf(parse, sizeof parse, "%.2f ms", first->second.at(entry.first).milliseconds);
            std::printf("| %7lld | %9.0f | %22.2f ms | %8.2f ms | %18s | %9.0f ns | %11.0f ns |\n",
                        static_cast<long long>(entry.first), c.keys, c.milliseconds, s.milliseconds,
                        parse, coldPerKey, steadyPerKey);
            if (firstCold == 0) {
                firstCold = coldPerKey;
                firstSteady = steadyPerKey;
            }
            lastCold = coldPerKey;
            lastSteady = steadyPerKey;
            lastDrivers = entry.first;
        }
        if (lastDrivers == 0)
            return;
        std::printf("\nTime per key, largest file over smallest: cold %.2fx, steady %.2fx "
                    "(1.00x is linear)\n",
                    lastCold / firstCold, lastSteady / firstSteady);
        double coldAtLargest = cold->second.at(lastDrivers).milliseconds;
        bool met = coldAtLargest < ColdPassTargetMs;
        std::printf("Cold pass at %lld drivers: %.2f ms, target under %.0f ms: %s\n",
                    static_cast<long long>(lastDrivers), coldAtLargest, ColdPassTargetMs,
                    met ? "met" : "NOT met");
    }

private:
    struct Figure {
        double milliseconds = 0;
        double keys = 0;
        bool fromMedian = false;
    };

    static double ToMilliseconds(double value, benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return value / 1e6;
        case benchmark::kMicrosecond:
            return value / 1e3;
        case benchmark::kMillisecond:
            return value;
        case benchmark::kSecond:
            return value * 1e3;
        }
        return value;
    }

    std::map<std::string, std::map<int64_t, Figure>> figures_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!CreateSetupFiles()) {
        std::fprintf(stderr, "profile_read_bench: cannot write the setup files\n");
        RemoveSetupFiles();
        return 1;
    }
    RegisterPass("ColdPass", ColdPass);
    RegisterPass("SteadyPass", SteadyPass);
    RegisterPass("FirstRead", FirstRead);

    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    RemoveSetupFiles();
    reporter.PrintSummary();
    return 0;
}
