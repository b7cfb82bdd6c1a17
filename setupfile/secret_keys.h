// Which attribute values are secrets, and how they are shown: every program
// that prints a value from a setup file or the ODBC configuration masks a
// secret one, whatever the output format.
#pragma once

#include <string>
#include <vector>

// What a secret value is shown as, whatever its length.
extern const char MASKED_VALUE[];

// Whether an attribute key names a secret (case, and blanks and the INI
// marks ; # [ ] around it, do not matter).
bool IsSecretKey(const std::string& key);

// A key's value as it may be shown: masked when the key is secret.
std::string ShownValue(const std::string& key, const std::string& value);

// "key=value" with the value masked when the key is secret; anything else
// unchanged.
std::string MaskedElement(const std::string& element);

// A list of elements as it may be shown: each secret value masked, and an
// element without '=' right after a secret one (the rest of its value,
// split off by a \0 inside it) masked whole.
std::vector<std::string> MaskedElements(const std::vector<std::string>& elements);

// The values of the secret keys among "key=value" elements, with the rest
// of a value split off by a \0 inside it (as MaskedElements).
std::vector<std::string> SecretValues(const std::vector<std::string>& elements);

// Text with every occurrence of each non-empty secret masked, for messages
// that may echo an attribute (an installer's error detail, a quoted list).
std::string MaskSecretsIn(const std::string& text, const std::vector<std::string>& secrets);
