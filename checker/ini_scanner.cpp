// A small line scanner over the raw setup file. The profile functions hide
// repeated keys and sections, keys nobody asks for and line numbers; the
// checker needs those for its findings, never for the plan.
#include "ascii_case.h"
#include "checker.h"
#include "setup_file_refusal.h"

#include <climits>
#include <cstring>
#include <utility>

static bool IsBlank(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

static std::string Trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string FoldName(const std::string& name)
{
    return LowerAscii(Trim(name));
}

// Names only matter here, so a UTF-16 file keeps its ASCII and marks the
// rest.
static std::string TextOf(const std::string& bytes)
{
    bool little = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (little || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        std::string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned char low = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            unsigned char high = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            text.push_back(high == 0 && low < 0x80 ? static_cast<char>(low) : '?');
        }
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return bytes.substr(3);
    return bytes;
}

// The setup file rule first, on the opened file, so nothing else is ever
// read: a FIFO or a device never blocks or floods the checker.
static bool ReadBytes(LPCSTR path, std::string& bytes, std::string& error)
{
    HANDLE file;
    SetupFileCheck check = OpenSetupFile(path, &file);
    if (check != SETUP_FILE_READABLE) {
        error = SetupFileRefusal(check);
        return false;
    }
    char block[65536];
    DWORD count = 0;
    bool ok;
    // A file that grows while it is read stops at the limit all the same.
    while ((ok = ReadFile(file, block, sizeof block, &count, NULL) != FALSE) && count > 0 &&
           bytes.size() <= SETUP_FILE_SIZE_LIMIT)
        bytes.append(block, count);
    CloseHandle(file);
    if (!ok)
        error = "reading failed (error " + std::to_string(GetLastError()) + ")";
    else if (bytes.size() > SETUP_FILE_SIZE_LIMIT)
        error = SetupFileRefusal(SETUP_FILE_TOO_LARGE);
    return ok && bytes.size() <= SETUP_FILE_SIZE_LIMIT;
}

static void AddLine(RawFile& file, const std::string& text, int number)
{
    std::string line = Trim(text);
    if (line.empty() || line[0] == ';')
        return;
    size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string::npos) {
        RawSection section;
        section.name = Trim(line.substr(1, close - 1));
        section.folded = FoldName(section.name);
        section.line = number;
        section.repeated = !file.firstSection.emplace(section.folded, file.sections.size()).second;
        file.sections.push_back(std::move(section));
        return;
    }
    RawSection& section = file.sections.back();
    size_t equals = line.find('=');
    RawKey key;
    key.name = Trim(line.substr(0, equals));
    key.folded = FoldName(key.name);
    key.line = number;
    key.hasEquals = equals != std::string::npos;
    section.firstKey.emplace(key.folded, section.keys.size());
    section.keys.push_back(key);
}

bool ScanIniFile(LPCSTR path, RawFile& file, std::string& error)
{
    std::string bytes;
    if (!ReadBytes(path, bytes, error))
        return false;
    std::string text = TextOf(bytes);
    file.sections.assign(1, RawSection());
    file.sections[0].line = 0;
    file.sections[0].repeated = false;
    file.firstSection.emplace("", 0);
    // CR, LF and CR LF each end a line.
    int number = 1;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\r')
            continue;
        AddLine(file, text.substr(start, i - start), number++);
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return true;
}

const RawSection* FindRawSection(const RawFile& file, LPCSTR section)
{
    auto found = file.firstSection.find(FoldName(section));
    return found == file.firstSection.end() ? NULL : &file.sections[found->second];
}

static const RawKey* FindRawKey(const RawFile& file, LPCSTR section, const std::string& key)
{
    const RawSection* found = FindRawSection(file, section);
    if (found == NULL)
        return NULL;
    auto index = found->firstKey.find(FoldName(key));
    return index == found->firstKey.end() ? NULL : &found->keys[index->second];
}

int LineOf(const RawFile& file, LPCSTR section, const std::string& key)
{
    const RawKey* found = FindRawKey(file, section, key);
    return found != NULL ? found->line : 0;
}

long long ListKeyNumber(const std::string& folded, LPCSTR keyFormat)
{
    std::string stem = FoldName(std::string(keyFormat, std::strlen(keyFormat) - 2));
    if (folded.compare(0, stem.size(), stem) != 0)
        return -1;
    std::string digits = folded.substr(stem.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    if (digits.empty() || digits[0] == '0')
        return 0;
    // Past any key-name limit either way.
    if (digits.size() > 18)
        return LLONG_MAX;
    return std::stoll(digits);
}
