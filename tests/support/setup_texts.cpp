// Setup-file contents shared by the suites that run the built programs.
#include "setup_texts.h"

#include <algorithm>
#include <sstream>

namespace fs = std::filesystem;

std::string Repeat(const std::string& text, size_t times)
{
    std::string repeated;
    for (size_t i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

std::vector<fs::path> ScenarioSetups(const fs::path& folder)
{
    std::vector<fs::path> setups;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".ini")
            setups.push_back(entry.path());
    }
    std::sort(setups.begin(), setups.end());
    return setups;
}

std::string ScenarioFailSetting(const std::string& setup)
{
    const std::string marker = "; fake-fail:";
    std::istringstream lines(setup);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, marker.size(), marker) == 0)
            return line.substr(line.find_first_not_of(' ', marker.size()));
    }
    return "";
}
