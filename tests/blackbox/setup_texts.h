// Setup-file contents that several suites build: repeated text, byte noise,
// UTF-16, and the shared scenario corpus with the failures each file forces.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

std::string Repeat(const std::string& text, size_t times);

// Deterministic noise with every byte value, but never a line that reads
// as a header or key of the setup file.
std::string Noise(size_t length);

std::string Utf16(const std::string& ascii, bool byteOrderMark);

// The scenario corpus's setup files (NAME.ini), in name order.
std::vector<std::filesystem::path> ScenarioSetups(const std::filesystem::path& folder);

// A comment line "; fake-fail: LIST" in a scenario says which calls fail.
std::string ScenarioFailSetting(const std::string& setup);
