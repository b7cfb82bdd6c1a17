// Findings about the lists: entries the run never reaches, lists that hit
// the key-name limit, empty lists and elements, a "\0" that splits a path
// or a key=value pair, a missing DSAttrib, and list values that are cut.
#include "checker.h"

#include <algorithm>

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (size_t i = 0; i < names.size() && i < 5; ++i)
        joined += (i > 0 ? ", " : "") + names[i];
    if (names.size() > 5)
        joined += " and " + std::to_string(names.size() - 5) + " more";
    return joined;
}

struct Stranded {
    std::vector<std::string> names;
    int line;
};

// Keys of a list numbered from <from> on: the run never asks for them.
static void CollectStranded(const RawFile& file, LPCSTR section, LPCSTR keyFormat, long long from,
                            Stranded& stranded)
{
    const RawSection* found = FindRawSection(file, section);
    if (found == NULL)
        return;
    for (const auto& entry : found->firstKey) {
        const RawKey& key = found->keys[entry.second];
        if (key.hasEquals && ListKeyNumber(key.folded, keyFormat) >= from) {
            stranded.names.push_back(key.name);
            if (stranded.line == 0 || key.line < stranded.line)
                stranded.line = key.line;
        }
    }
}

static bool ByLine(const RawFile& file, LPCSTR section, const std::string& a, const std::string& b)
{
    return LineOf(file, section, a) < LineOf(file, section, b);
}

static void AddListEnd(const RawFile& file, LPCSTR section, LPCSTR keyFormat, int endIndex,
                       ListEnd end, Stranded& stranded, Findings& findings)
{
    std::sort(stranded.names.begin(), stranded.names.end(),
              [&](const std::string& a, const std::string& b) { return ByLine(file, section, a, b); });
    std::string endKey = ListKeyName(keyFormat, endIndex);
    std::string lost = stranded.names.empty() ? "" : "; never read: " + JoinNames(stranded.names);
    if (end == LIST_END_KEY_LIMIT) {
        std::string last = ListKeyName(keyFormat, endIndex - 1);
        findings.push_back({"key-limit", section, last, LineOf(file, section, last),
                            "the list reaches " + last + ", the last number a key name of " +
                                std::to_string(LIST_KEY_SIZE - 1) + " characters allows" + lost,
                            "split the entries over several setup files"});
        return;
    }
    if (stranded.names.empty())
        return;
    const std::string& first = stranded.names[0];
    if (end == LIST_END_NONE_VALUE)
        findings.push_back({"after-end", section, first, stranded.line,
                            endKey + " reads None, which ends the list" + lost,
                            "remove " + endKey + "=None (the exact word None ends a list)"});
    else
        findings.push_back({"after-end", section, first, stranded.line,
                            endKey + " is missing, so the list ends there" + lost,
                            "number the entries from 1 without gaps"});
}

// A raw list value cut at each "\0", left to right, as the decoder does.
static Elements SplitRaw(const std::string& raw)
{
    Elements pieces(1);
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '0') {
            pieces.emplace_back();
            ++i;
        } else {
            pieces.back().push_back(raw[i]);
        }
    }
    return pieces;
}

static bool EndsLikePathPart(const std::string& element)
{
    size_t n = element.size();
    if (n == 0)
        return false;
    char last = element[n - 1];
    // "C:" or "...=C:": a drive letter with its path cut off.
    char letter = n >= 2 ? static_cast<char>(element[n - 2] | 0x20) : '\0';
    bool drive = last == ':' && letter >= 'a' && letter <= 'z' && (n == 2 || element[n - 3] == '=');
    return drive || last == '\\' || last == '/';
}

// Raw list text as it may be shown: the pieces between "\0" masked as a
// list.
static std::string ShownRaw(const std::string& raw)
{
    Elements shown = MaskedElements(SplitRaw(raw));
    std::string joined;
    for (size_t i = 0; i < shown.size(); ++i)
        joined += (i > 0 ? "\\0" : "") + shown[i];
    return joined;
}

static void CheckElements(LPCSTR section, const std::string& key, int line, const std::string& raw,
                          const Elements& elements, size_t firstPair, Findings& findings)
{
    Elements pieces = SplitRaw(raw);
    if (elements.empty()) {
        std::string rest = raw.size() > 2 ? raw.substr(2) : "";
        if (rest.empty())
            findings.push_back({"empty-list", section, key, line,
                                key + " is empty: the installer gets an empty list",
                                "give it its value, or remove it and renumber the entries after it"});
        else
            findings.push_back({"empty-element", section, key, line,
                                key + " starts with \\0, so its list is empty; never passed: " +
                                    ShownRaw(rest),
                                "remove the leading \\0"});
        return;
    }
    Elements shown = MaskedElements(elements);
    for (size_t i = elements.size(); i + 1 < pieces.size(); ++i) {
        if (!pieces[i + 1].empty()) {
            Elements lost(pieces.begin() + static_cast<long>(i) + 1, pieces.end());
            std::string rest;
            for (const std::string& piece : MaskedElements(lost))
                rest += (rest.empty() ? "" : "\\0") + piece;
            findings.push_back({"empty-element", section, key, line,
                                "an empty element after '" + shown.back() +
                                    "' ends the list; never passed: " + rest,
                                "remove the doubled \\0"});
            break;
        }
    }
    for (size_t i = 0; i + 1 < elements.size(); ++i) {
        bool pairBroken = i + 1 >= firstPair && elements[i + 1].find('=') == std::string::npos;
        if (pairBroken || EndsLikePathPart(elements[i])) {
            findings.push_back({"split", section, key, line,
                                "the \\0 in '" + shown[i] + "\\0" + shown[i + 1] +
                                    "' splits it into '" + shown[i] + "' and '" + shown[i + 1] + "'",
                                "\\0 always separates elements and cannot be escaped: write the path "
                                "with / or choose a name that does not start with 0"});
        }
    }
}

// The text of a raw list value from offset <from> on, as it may be shown:
// a secret value in it masked, and the key whose value the cut falls in
// named when that value is secret.
static std::string ShownTail(const std::string& raw, size_t from, std::string& cutSecret)
{
    Elements pieces = SplitRaw(raw);
    Elements masked = MaskedElements(pieces);
    std::string shown;
    size_t start = 0;  // where piece i starts in raw
    for (size_t i = 0; i < pieces.size(); ++i) {
        size_t end = start + pieces[i].size();
        size_t at = from > start ? from - start : 0;
        if (end > from && masked[i] == pieces[i]) {
            shown += pieces[i].substr(at);
        } else if (end > from) {
            size_t equals = pieces[i].find('=');
            size_t value = equals == std::string::npos ? 0 : equals + 1;
            if (at < value)
                shown += pieces[i].substr(at, value - at);
            else if (at > 0)
                cutSecret = equals == std::string::npos ? "a secret" : pieces[i].substr(0, equals);
            shown += MASKED_VALUE;
        }
        // The "\0" after the piece, whole or its "0" alone.
        if (i + 1 < pieces.size() && end + 2 > from)
            shown += from <= end ? "\\0" : "0";
        start = end + 2;
    }
    return shown;
}

// The part of a list value the run drops: past its buffer, and the last
// character of a full value without "\0" that gives way to the closing NUL.
static void CheckListCut(LPCSTR section, const std::string& key, int line, const std::string& raw,
                         const Elements& elements, Findings& findings)
{
    if (raw.size() < ATTRIBUTE_LIST_SIZE - 2)
        return;
    size_t kept = raw.size();
    if (elements.size() == 1 && elements[0].size() + 1 == raw.size() && raw.compare(0, elements[0].size(), elements[0]) == 0)
        kept = raw.size() - 1;
    std::string full = ReadFullValue(section, key.c_str());
    if (full.size() <= kept || full.compare(0, kept, raw, 0, kept) != 0)
        return;
    std::string cutSecret;
    std::string lost = ShownTail(full, kept, cutSecret);
    if (!cutSecret.empty())
        lost += " (the cut falls inside the value of " + cutSecret + ")";
    findings.push_back({"cut", section, key, line,
                        key + " is " + std::to_string(full.size()) + " characters; the run keeps " +
                            std::to_string(kept) + " and cuts off: " + lost,
                        "shorten the value to " + std::to_string(ATTRIBUTE_LIST_SIZE - 2) +
                            " characters or fewer"});
}

// Only the exact word None ends a list; any other case is an entry.
static void CheckNoneCase(LPCSTR section, const std::string& key, int line, const std::string& value,
                          Findings& findings)
{
    if (FoldName(value) != "none" || value == END_OF_LIST)
        return;
    findings.push_back({"none-case", section, key, line,
                        key + "=" + value + " is an entry, not the end of the list: only None ends it",
                        "write None to end the list here, or remove the entry"});
}

static void CheckComponentList(const ComponentPlan& list, const RawFile& file, Findings& findings)
{
    for (const ComponentEntry& entry : list.entries) {
        int line = LineOf(file, list.section, entry.key);
        CheckNoneCase(list.section, entry.key, line, entry.raw, findings);
        CheckListCut(list.section, entry.key, line, entry.raw, entry.elements, findings);
        CheckElements(list.section, entry.key, line, entry.raw, entry.elements, 1, findings);
    }
    int endIndex = static_cast<int>(list.entries.size()) + 1;
    // The key at the end reads missing or None, unless it has no name at all.
    int past = list.end == LIST_END_KEY_LIMIT ? 0 : 1;
    Stranded stranded{{}, 0};
    CollectStranded(file, list.section, list.keyFormat, endIndex + past, stranded);
    AddListEnd(file, list.section, list.keyFormat, endIndex, list.end, stranded, findings);
}

static void CheckDataSources(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    for (size_t i = 0; i < plan.dataSources.size(); ++i) {
        const DataSourceEntry& entry = plan.dataSources[i];
        std::string key = ListKeyName(DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, static_cast<int>(i) + 1);
        int line = LineOf(file, DATA_SOURCES_SECTION, key);
        std::string driverKey = ListKeyName(DATA_SOURCE_DRIVER_KEY_FORMAT, static_cast<int>(i) + 1);
        CheckNoneCase(DATA_SOURCES_SECTION, driverKey, LineOf(file, DATA_SOURCES_SECTION, driverKey),
                      entry.driver, findings);
        if (entry.rawAttributes == END_OF_LIST && ReadFullValue(DATA_SOURCES_SECTION, key.c_str()).empty()) {
            findings.push_back({"missing-attributes", DATA_SOURCES_SECTION, key,
                                LineOf(file, DATA_SOURCES_SECTION, driverKey),
                                key + " is missing: the installer gets the list None, with no DSN",
                                "add " + key + "=DSN=<name>\\0<keyword>=<value>"});
            continue;
        }
        CheckListCut(DATA_SOURCES_SECTION, key, line, entry.rawAttributes, entry.attributes, findings);
        CheckElements(DATA_SOURCES_SECTION, key, line, entry.rawAttributes, entry.attributes, 0, findings);
    }
    int endIndex = static_cast<int>(plan.dataSources.size()) + 1;
    int past = plan.dataSourcesEnd == LIST_END_KEY_LIMIT ? 0 : 1;
    Stranded stranded{{}, 0};
    CollectStranded(file, DATA_SOURCES_SECTION, DATA_SOURCE_DRIVER_KEY_FORMAT, endIndex + past, stranded);
    CollectStranded(file, DATA_SOURCES_SECTION, DATA_SOURCE_ATTRIBUTES_KEY_FORMAT, endIndex, stranded);
    CollectStranded(file, DATA_SOURCES_SECTION, DATA_SOURCE_REQUEST_KEY_FORMAT, endIndex, stranded);
    AddListEnd(file, DATA_SOURCES_SECTION, DATA_SOURCE_DRIVER_KEY_FORMAT, endIndex, plan.dataSourcesEnd,
               stranded, findings);
}

void FindListFindings(const SetupPlan& plan, const RawFile& file, Findings& findings)
{
    CheckComponentList(plan.translators, file, findings);
    CheckComponentList(plan.drivers, file, findings);
    CheckDataSources(plan, file, findings);
}
