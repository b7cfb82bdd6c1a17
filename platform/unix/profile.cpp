// GetPrivateProfileStringA and GetPrivateProfileIntA over INI files, with
// the Windows reading rules: names match without regard to case, the first
// matching section and the first matching key count, blanks around names and
// values go, and a value in a matching pair of quotes loses them.
//
// The parsed file is kept and reused while the file's identity, size and
// times stay the same, so reading every key of a large file stays linear.
#include "platform.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unordered_map>

namespace {

struct ProfileValue {
    std::string text;
    bool present;  // false for a line with no '=': it reads as missing
};

typedef std::unordered_map<std::string, ProfileValue> ProfileSection;

struct ParsedProfile {
    std::string path;
    struct stat identity;
    std::unordered_map<std::string, ProfileSection> sections;
};

bool IsProfileSpace(unsigned char c)
{
    // 0x1a is the old end-of-file mark, which Windows treats as a blank.
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

std::string FoldCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Names and values end at a NUL byte, as C strings do.
std::string CutAtNul(const char* begin, const char* end)
{
    const void* nul = std::memchr(begin, '\0', static_cast<size_t>(end - begin));
    return std::string(begin, nul != NULL ? static_cast<const char*>(nul) : end);
}

// UTF-16 files carry a byte-order mark. Characters past Latin-1 have no
// byte of their own and read as '?'.
std::string NarrowUtf16(const std::string& bytes, bool bigEndian)
{
    std::string narrow;
    narrow.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned char first = static_cast<unsigned char>(bytes[i]);
        unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        unsigned unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
        narrow.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return narrow;
}

std::string DecodeFileText(const std::string& bytes)
{
    if (bytes.compare(0, 2, "\xFF\xFE") == 0)
        return NarrowUtf16(bytes, false);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0)
        return NarrowUtf16(bytes, true);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return bytes.substr(3);
    return bytes;
}

void ParseProfile(const std::string& text, ParsedProfile& profile)
{
    // Keys before the first section, and in a repeated section, can never be
    // found: lookups stop at the first section of a name.
    ProfileSection* section = NULL;
    const char* next = text.data();
    const char* end = next + text.size();
    while (next < end) {
        const char* lineStart = next;
        while (next < end && *next != '\n' && *next != '\r')
            ++next;
        const char* lineEnd = next;
        while (next < end && (*next == '\n' || *next == '\r'))
            ++next;

        while (lineStart < lineEnd && IsProfileSpace(*lineStart))
            ++lineStart;
        while (lineEnd > lineStart && IsProfileSpace(lineEnd[-1]))
            --lineEnd;
        if (lineStart == lineEnd)
            continue;

        if (*lineStart == '[') {
            const char* close = lineEnd;
            while (close > lineStart && close[-1] != ']')
                --close;
            if (close > lineStart + 1) {
                std::string name = FoldCase(CutAtNul(lineStart + 1, close - 1));
                bool first = profile.sections.find(name) == profile.sections.end();
                section = first && !name.empty() ? &profile.sections[name] : NULL;
                continue;
            }
        }
        if (section == NULL)
            continue;

        const char* equals =
            static_cast<const char*>(std::memchr(lineStart, '=', static_cast<size_t>(lineEnd - lineStart)));
        const char* nameEnd = equals != NULL ? equals : lineEnd;
        while (nameEnd > lineStart && IsProfileSpace(nameEnd[-1]))
            --nameEnd;
        ProfileValue value = {std::string(), equals != NULL};
        if (equals != NULL) {
            const char* valueStart = equals + 1;
            while (valueStart < lineEnd && IsProfileSpace(*valueStart))
                ++valueStart;
            value.text = CutAtNul(valueStart, lineEnd);
        }
        section->emplace(FoldCase(CutAtNul(lineStart, nameEnd)), value);
    }
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The parsed file, or NULL when it is missing or not a readable file.
const ParsedProfile* OpenProfile(LPCSTR fileName)
{
    static ParsedProfile cached;
    static bool cacheValid = false;

    struct stat identity;
    if (fileName == NULL || stat(fileName, &identity) != 0 || !S_ISREG(identity.st_mode))
        return NULL;
    if (cacheValid && cached.path == fileName && SameFile(cached.identity, identity))
        return &cached;

    cacheValid = false;
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return NULL;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return NULL;
    cached.path = fileName;
    cached.identity = identity;
    cached.sections.clear();
    ParseProfile(DecodeFileText(bytes), cached);
    cacheValid = true;
    return &cached;
}

std::string TrimmedName(LPCSTR name)
{
    const char* begin = name;
    const char* end = name + std::strlen(name);
    while (begin < end && IsProfileSpace(*begin))
        ++begin;
    while (end > begin && IsProfileSpace(end[-1]))
        --end;
    return FoldCase(std::string(begin, end));
}

const ProfileValue* FindValue(const ParsedProfile& profile, LPCSTR section, LPCSTR key)
{
    auto foundSection = profile.sections.find(TrimmedName(section));
    if (foundSection == profile.sections.end())
        return NULL;
    auto foundKey = foundSection->second.find(TrimmedName(key));
    if (foundKey == foundSection->second.end() || !foundKey->second.present)
        return NULL;
    return &foundKey->second;
}

// A matching pair of single or double quotes around a value goes.
std::string Unquoted(const std::string& text)
{
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0])
        return text.substr(1, text.size() - 2);
    return text;
}

DWORD CopyCut(const std::string& text, LPSTR buffer, DWORD size)
{
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName)
{
    if (buffer == NULL || size == 0)
        return 0;
    // Windows drops trailing blanks of the default.
    std::string fallback = defaultValue != NULL ? defaultValue : "";
    fallback.erase(fallback.find_last_not_of(' ') + 1);

    // Listing sections or keys (a NULL name) is not offered.
    if (section == NULL || key == NULL)
        return CopyCut(std::string(), buffer, size);

    const ParsedProfile* profile = OpenProfile(fileName);
    if (profile == NULL)
        return CopyCut(fallback, buffer, size);
    const ProfileValue* value = FindValue(*profile, section, key);
    return CopyCut(Unquoted(value != NULL ? value->text : fallback), buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName)
{
    // Windows reads at most 29 characters of the value.
    char text[30];
    if (GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName) == 0)
        return static_cast<UINT>(defaultValue);

    // Leading blanks and control characters, one sign, a "0x", "0o" or "0b"
    // prefix, then digits up to the first that does not belong; the result
    // wraps around on overflow.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != '\0' && *p <= ' ')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    UINT total = 0;
    for (;; ++p) {
        unsigned digit = *p >= '0' && *p <= '9'   ? *p - '0'
                         : *p >= 'A' && *p <= 'Z' ? *p - 'A' + 10
                         : *p >= 'a' && *p <= 'z' ? *p - 'a' + 10
                                                  : 99;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}
