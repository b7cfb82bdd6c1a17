// Findings from the raw lines: sections and keys the run never asks for
// (misspelt names, keys before any header, bad numbers), repeated sections
// and keys, of which only the first is read, and lines without '='.
#include "checker.h"

#include <algorithm>
#include <cstring>

namespace {

struct KnownSection {
    LPCSTR name;
    LPCSTR keys[3];  // plain names, or formats of numbered keys
    bool numbered;
};

}  // namespace

const KnownSection KNOWN_SECTIONS[] = {
    {SETTINGS_SECTION, {TITLE_KEY, LOAD_MESSAGE_KEY, NULL}, false},
    {INSTALL_MANAGER_SECTION, {INSTALL_KEY, NULL, NULL}, false},
    {TRANSLATORS_SECTION, {TRANSLATOR_KEY_FORMAT, NULL, NULL}, true},
    {DRIVERS_SECTION, {DRIVER_KEY_FORMAT, NULL, NULL}, true},
    {DATA_SOURCES_SECTION,
     {DATA_SOURCE_DRIVER_KEY_FORMAT, DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, DATA_SOURCE_REQUEST_KEY_FORMAT},
     true},
};

static size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A misspelling is a name within two edits.
static bool LooksLike(const std::string& folded, LPCSTR name)
{
    return EditDistance(folded, FoldName(name)) <= 2;
}

static std::string Stem(LPCSTR keyFormat)
{
    return std::string(keyFormat, std::strlen(keyFormat) - 2);
}

static const KnownSection* FindKnownSection(const std::string& folded)
{
    for (const KnownSection& section : KNOWN_SECTIONS) {
        if (FoldName(section.name) == folded)
            return &section;
    }
    return NULL;
}

static bool IsKnownKey(const KnownSection& section, const std::string& folded)
{
    for (LPCSTR key : section.keys) {
        if (key == NULL)
            continue;
        if (section.numbered ? ListKeyNumber(folded, key) > 0 : FoldName(key) == folded)
            return true;
    }
    return false;
}

static std::string KeysReadIn(const KnownSection& section)
{
    std::string names;
    for (LPCSTR key : section.keys) {
        if (key != NULL)
            names += (names.empty() ? "" : ", ") + (section.numbered ? Stem(key) + "1, 2, ..." : key);
    }
    return names;
}

static std::string SectionList()
{
    std::string names;
    for (const KnownSection& section : KNOWN_SECTIONS)
        names += std::string(names.empty() ? "" : ", ") + "[" + section.name + "]";
    return names;
}

// What an unread key in a known section was probably meant to be.
static std::string FixForKey(const KnownSection& section, const RawKey& key)
{
    std::string digits = key.folded.substr(key.folded.find_last_not_of("0123456789") + 1);
    std::string number = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    for (LPCSTR name : section.keys) {
        if (name == NULL)
            continue;
        if (!section.numbered) {
            if (LooksLike(key.folded, name))
                return std::string("rename it ") + name;
            continue;
        }
        std::string stem = key.folded.substr(0, key.folded.size() - digits.size());
        if (ListKeyNumber(key.folded, name) == 0 || LooksLike(stem, Stem(name).c_str()))
            return number.empty() ? "number it from " + Stem(name) + "1"
                                  : "rename it " + Stem(name) + number;
    }
    for (const KnownSection& other : KNOWN_SECTIONS) {
        if (&other != &section && IsKnownKey(other, key.folded))
            return std::string("move it to [") + other.name + "]";
    }
    return "remove it; keys read here: " + KeysReadIn(section);
}

static std::string FixForSection(const RawSection& section)
{
    for (const KnownSection& known : KNOWN_SECTIONS) {
        if (LooksLike(section.folded, known.name))
            return std::string("rename it [") + known.name + "]";
    }
    return "remove it; sections read: " + SectionList();
}

static void CheckKeys(const RawSection& section, const KnownSection& known, Findings& findings)
{
    for (size_t i = 0; i < section.keys.size(); ++i) {
        const RawKey& key = section.keys[i];
        size_t first = section.firstKey.at(key.folded);
        if (first != i) {
            findings.push_back({"duplicate-key", known.name, key.name, key.line,
                                key.name + " appears again; only line " +
                                    std::to_string(section.keys[first].line) + " is read",
                                "remove one of them"});
        } else if (!IsKnownKey(known, key.folded)) {
            findings.push_back({"unknown-key", known.name, key.name, key.line,
                                key.name + " is not a key velloran reads", FixForKey(known, key)});
        } else if (!key.hasEquals) {
            findings.push_back({"no-value", known.name, key.name, key.line,
                                "the line has no '=', so " + key.name + " reads as missing",
                                "write " + key.name + "=<value>"});
        }
    }
}

void FindFileFindings(const RawFile& file, Findings& findings)
{
    for (const RawKey& key : file.sections[0].keys)
        findings.push_back({"unknown-key", "", key.name, key.line,
                            key.name + " stands before any section and is never read",
                            "move it into its section"});
    for (size_t i = 1; i < file.sections.size(); ++i) {
        const RawSection& section = file.sections[i];
        std::vector<std::string> names;
        for (const RawKey& key : section.keys)
            names.push_back(key.name);
        std::string lost = names.empty() ? "" : "; never read: " + JoinNames(names);
        if (section.repeated) {
            const RawSection* first = &file.sections[file.firstSection.at(section.folded)];
            findings.push_back({"duplicate-section", section.name, "", section.line,
                                "[" + section.name + "] appears again; only the one on line " +
                                    std::to_string(first->line) + " is read" + lost,
                                "merge them into the first [" + first->name + "]"});
            continue;
        }
        const KnownSection* known = FindKnownSection(section.folded);
        if (known == NULL) {
            findings.push_back({"unknown-section", section.name, "", section.line,
                                "[" + section.name + "] is not a section velloran reads" + lost,
                                FixForSection(section)});
            continue;
        }
        CheckKeys(section, *known, findings);
    }
}
