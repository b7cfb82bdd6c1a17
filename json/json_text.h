// JSON text for the console programs' reports, through nlohmann/json.
// Setup files hold bytes, not always UTF-8: valid UTF-8 passes, and any
// other byte stands for the character of the same number (U+0080..U+00FF),
// so nothing is lost and the output is always valid JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

// Objects keep their fields in the order they were set.
typedef nlohmann::ordered_json JsonValue;

JsonValue JsonText(const std::string& bytes);

// The whole document, indented by two and in ASCII only (every other
// character as \uXXXX), so no console code page can garble it.
std::string JsonDocument(const JsonValue& document);
