// Comparing an entry with what the installer stored for it.
#include "stored_form.h"
#include "secret_keys.h"

StoredPairs StoredPairsOf(const Elements& elements, size_t first)
{
    StoredPairs pairs;
    for (size_t i = first; i < elements.size(); ++i) {
        size_t equals = elements[i].find('=');
        std::string key =
            equals == std::string::npos ? "" : TrimmedAsStored(elements[i].substr(0, equals));
        if (key.empty())
            continue;
        std::string value = TrimmedAsStored(elements[i].substr(equals + 1));
        StoredPair* same = NULL;
        for (StoredPair& pair : pairs)
            same = same == NULL && SameIgnoringAsciiCase(pair.key, key) ? &pair : same;
        if (same != NULL)
            same->values.push_back(value);
        else
            pairs.push_back(StoredPair{key, {value}});
    }
    return pairs;
}

// Windows stores a driver's, setup library's or translator's bare file
// name with the system folder's path in front.
static bool IsFileKey(const std::string& key)
{
    std::string folded = LowerAscii(key);
    return folded == "driver" || folded == "setup" || folded == "translator";
}

static bool StoredAs(const std::string& key, const std::string& stored, const std::string& given)
{
    if (stored == given)
        return true;
    if (!IsFileKey(key) || given.empty() || given.find_first_of("/\\:") != std::string::npos ||
        stored.size() <= given.size())
        return false;
    char separator = stored[stored.size() - given.size() - 1];
    return (separator == '\\' || separator == '/') &&
           SameIgnoringAsciiCase(stored.substr(stored.size() - given.size()), given);
}

static std::string Quoted(const std::string& key, const std::string& value)
{
    return "'" + ShownValue(key, value) + "'";
}

std::string DifferenceFrom(const ConfigurationSection& section, const StoredPairs& pairs,
                           const std::set<std::string>& ignored)
{
    for (const StoredPair& pair : pairs) {
        if (ignored.count(LowerAscii(pair.key)) > 0)
            continue;
        const std::string* stored = FindValue(section, pair.key);
        if (stored == NULL)
            return pair.key + " is missing";
        bool matches = false;
        for (const std::string& given : pair.values)
            matches = matches || StoredAs(pair.key, *stored, given);
        if (!matches)
            return pair.key + " is " + Quoted(pair.key, *stored) + ", not " +
                   Quoted(pair.key, pair.values.back());
    }
    return "";
}

void SetPairs(ConfigurationSection& section, const StoredPairs& pairs,
              const std::set<std::string>& ignored)
{
    for (const StoredPair& pair : pairs) {
        if (ignored.count(LowerAscii(pair.key)) > 0)
            continue;
        bool set = false;
        for (auto& value : section.values) {
            if (!set && SameIgnoringAsciiCase(value.first, pair.key)) {
                value.second = pair.values.back();
                set = true;
            }
        }
        if (!set)
            section.values.emplace_back(pair.key, pair.values.back());
    }
}
