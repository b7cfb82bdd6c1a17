// Setup-file contents that several suites build: repeated text, and the
// shared scenario corpus with the failures each file forces.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

std::string Repeat(const std::string& text, size_t times);

// The scenario corpus's setup files (NAME.ini), in name order.
std::vector<std::filesystem::path> ScenarioSetups(const std::filesystem::path& folder);

// A comment line "; fake-fail: LIST" in a scenario says which calls fail.
std::string ScenarioFailSetting(const std::string& setup);
