// Reading benchmark: every entry an installation run reads from its setup
// file, through the run's own reading functions, on files of 1,000 to
// 50,000 drivers. "cold" starts each pass with a parse, as a run does (two
// copies of the file, read in turn); "steady" reads a file already parsed.
// Each figure is the median of 5 repetitions, printed with their min and
// max. Google Benchmark fits the complexity: O(N) with a small RMS is linear.
#include "setup_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const int DRIVER_COUNTS[] = {1000, 10000, 50000};
const int REPETITIONS = 5;
std::string Directory;

std::string SetupFileCopy(int drivers, int copy)
{
    return Directory + "/setup-" + std::to_string(drivers) + (copy == 0 ? "-a.ini" : "-b.ini");
}

// One translator, the drivers and one data source, in two copies.
bool WriteSetupFiles(int drivers)
{
    std::string text = "[InstallManager]\nInstall=0\n\n[Translators]\n"
                       "Translator1=Bench Translator\\0Translator=/opt/bench/libtr.so\n\n[Drivers]\n";
    for (int n = 1; n <= drivers; ++n) {
        std::string i = std::to_string(n);
        text += "Driver" + i + "=Bench Driver " + i + "\\0Driver=/opt/bench/libdrv" + i +
                ".so\\0Setup=/opt/bench/libsetup" + i + ".so\n";
    }
    text += "\n[Data Sources]\nDSDriver1=Bench Driver 1\nDSAttrib1=DSN=bench\\0Database=/var/lib/bench.db\n"
            "DSRequest1=ODBC_ADD_SYS_DSN\n";
    for (int copy = 0; copy < 2; ++copy) {
        std::ofstream file(SetupFileCopy(drivers, copy), std::ios::binary);
        if (!(file << text).flush())
            return false;
    }
    return true;
}

// The run's reads in the run's order, without its installer calls. Returns
// the number of entries found.
int ReadLikeARun(const std::string& path)
{
    FillSetupFilePath(path.c_str());
    char value[ATTRIBUTE_LIST_SIZE];
    char driver[DRIVER_NAME_SIZE];
    char keyword[REQUEST_KEYWORD_SIZE];
    int entries = 0;
    benchmark::DoNotOptimize(ReadInstallManagerSetting());
    for (int n = 1; ReadComponentEntry(TRANSLATORS_SECTION, TRANSLATOR_KEY_FORMAT, n, value); ++n)
        ++entries;
    for (int n = 1; ReadComponentEntry(DRIVERS_SECTION, DRIVER_KEY_FORMAT, n, value); ++n)
        ++entries;
    for (int n = 1; ReadDataSourceEntry(n, driver, value, keyword); ++n)
        ++entries;
    return entries;
}

void Pass(benchmark::State& state, bool cold)
{
    const int drivers = static_cast<int>(state.range(0));
    const std::string copies[2] = {SetupFileCopy(drivers, 0), SetupFileCopy(drivers, 1)};
    // Leave the other copy parsed, so that a cold pass parses from the first.
    int entries = ReadLikeARun(copies[1]);
    int copy = 0;
    for (auto _ : state) {
        entries = ReadLikeARun(copies[copy]);
        if (cold)
            copy = 1 - copy;
    }
    // A pass that found less than the file holds timed a shortcut.
    if (entries != drivers + 2)
        state.SkipWithError("a pass missed entries of the setup file");
    state.SetComplexityN(drivers);
    state.counters["entries"] = entries;
    state.counters["per_entry"] = benchmark::Counter(
        entries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

double Lowest(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

double Highest(const std::vector<double>& values)
{
    return *std::max_element(values.begin(), values.end());
}

// Google Benchmark gives the median of the repetitions; the min and max
// show how far the machine's load spread them.
void EverySize(benchmark::internal::Benchmark* bench)
{
    for (int drivers : DRIVER_COUNTS)
        bench->Arg(drivers);
    bench->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Complexity(benchmark::oN)
        ->Repetitions(REPETITIONS)
        ->ComputeStatistics("min", Lowest)
        ->ComputeStatistics("max", Highest)
        ->ReportAggregatesOnly();
}

}  // namespace

BENCHMARK_CAPTURE(Pass, cold, true)->Apply(EverySize);
BENCHMARK_CAPTURE(Pass, steady, false)->Apply(EverySize);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::string pattern = (std::filesystem::temp_directory_path() / "velloran-read-bench-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == NULL) {
        std::perror(pattern.c_str());
        return 1;
    }
    Directory = pattern;
    bool written = true;
    for (int drivers : DRIVER_COUNTS)
        written = written && WriteSetupFiles(drivers);
    // A file changed within the current clock tick is parsed at every read,
    // so the files age a little before a steady pass can exist.
    usleep(100 * 1000);
    if (written)
        benchmark::RunSpecifiedBenchmarks();
    else
        std::fprintf(stderr, "profile_read_bench: cannot write the setup files in %s\n", pattern.c_str());
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(Directory, ignored);
    return written ? 0 : 1;
}
