// GetPrivateProfileStringA and GetPrivateProfileIntA over INI files, with
// the Windows reading rules: names match without regard to case, the first
// matching section and the first matching key count, blanks around names and
// values go, and a value in a matching pair of quotes loses them.
//
// Files that are not regular, or larger than PROFILE_FILE_SIZE_LIMIT, and
// files too large to hold in memory, read as no file.
//
// The parsed file is kept and reused while the file's identity, size and
// times stay the same, so reading every key of a large file stays linear;
// a file changed within the current clock tick is parsed at every read.
#include "ascii_letters.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

// Names and values are views into the profile's own copy of the file text,
// names folded to lower case in place: no allocation per key. Only keys a
// lookup can reach are kept: the first of a name in the first section of a
// name.
namespace {

struct ProfileValue {
    std::string_view text;
    bool present;  // false for a line with no '=': it reads as missing
};

typedef std::unordered_map<std::string_view, ProfileValue> ProfileSection;

struct ParsedProfile {
    std::string path;
    struct stat identity;
    bool settled;  // see OpenProfile
    std::string text;
    std::unordered_map<std::string_view, ProfileSection> sections;
};

}  // namespace

static bool IsProfileSpace(unsigned char c)
{
    // 0x1a is the old end-of-file mark, which Windows treats as a blank.
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

// Names and values end at a NUL byte, as C strings do.
static std::string_view CutAtNul(const char* begin, const char* end)
{
    const char* nul = static_cast<const char*>(std::memchr(begin, '\0', static_cast<size_t>(end - begin)));
    return std::string_view(begin, static_cast<size_t>((nul != NULL ? nul : end) - begin));
}

// Blanks go before the NUL cut, so "a \0b" is the name "a ", as on Windows.
static std::string_view FoldName(char* begin, char* end)
{
    while (begin < end && IsProfileSpace(*begin))
        ++begin;
    while (end > begin && IsProfileSpace(end[-1]))
        --end;
    for (char* c = begin; c < end; ++c)
        *c = LowerAsciiLetter(*c);
    return CutAtNul(begin, end);
}

static void AppendUtf8(std::string& text, unsigned code)
{
    if (code < 0x80) {
        text.push_back(static_cast<char>(code));
        return;
    }
    int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    text.push_back(static_cast<char>((0xF0u << (3 - extra)) | (code >> (6 * extra))));
    while (extra-- > 0)
        text.push_back(static_cast<char>(0x80 | ((code >> (6 * extra)) & 0x3F)));
}

// UTF-16 files carry a byte-order mark. Windows hands their text out in the
// ANSI code page; here that is UTF-8.
static std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian)
{
    std::string text;
    text.reserve(bytes.size() / 2);
    auto unit = [&](size_t i) {
        unsigned first = static_cast<unsigned char>(bytes[i]);
        unsigned second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        }
        AppendUtf8(text, code);
    }
    return text;
}

static std::string DecodeFileText(std::string bytes)
{
    bool littleEndian = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (littleEndian || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        // Windows reads a last odd byte as a whole unit, as if a zero byte
        // followed it.
        if (bytes.size() % 2 != 0)
            bytes.push_back('\0');
        return Utf16ToUtf8(bytes, !littleEndian);
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    return bytes;
}

static void ParseProfile(ParsedProfile& profile)
{
    // Keys before the first header belong to a nameless section. Only the
    // first section of a name is ever searched, so keys under a repeated
    // header (including "[]") are dropped.
    ProfileSection* section = &profile.sections[std::string_view()];
    char* next = &profile.text[0];
    char* end = next + profile.text.size();
    // CR and LF alike end a line; with one kind, memchr finds line ends fast.
    for (char* cr = next; (cr = static_cast<char*>(std::memchr(cr, '\r', static_cast<size_t>(end - cr)))) != NULL;)
        *cr++ = '\n';
    while (next < end) {
        char* lineStart = next;
        char* lineEnd = static_cast<char*>(std::memchr(next, '\n', static_cast<size_t>(end - next)));
        if (lineEnd == NULL)
            lineEnd = end;
        next = lineEnd;
        while (next < end && *next == '\n')
            ++next;

        while (lineStart < lineEnd && IsProfileSpace(*lineStart))
            ++lineStart;
        while (lineEnd > lineStart && IsProfileSpace(lineEnd[-1]))
            --lineEnd;
        if (lineStart == lineEnd)
            continue;

        // The header runs to the last ']'; a '[' line without one is a key.
        if (*lineStart == '[') {
            char* close = lineEnd;
            while (close > lineStart && close[-1] != ']')
                --close;
            if (close > lineStart) {
                auto added = profile.sections.emplace(FoldName(lineStart + 1, close - 1), ProfileSection());
                section = added.second ? &added.first->second : NULL;
                continue;
            }
        }
        if (section == NULL)
            continue;

        char* equals = static_cast<char*>(std::memchr(lineStart, '=', static_cast<size_t>(lineEnd - lineStart)));
        ProfileValue value = {std::string_view(), equals != NULL};
        if (equals != NULL) {
            char* valueStart = equals + 1;
            while (valueStart < lineEnd && IsProfileSpace(*valueStart))
                ++valueStart;
            value.text = CutAtNul(valueStart, lineEnd);
        }
        section->emplace(FoldName(lineStart, equals != NULL ? equals : lineEnd), value);
    }
}

static bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

static long long Nanoseconds(const struct timespec& time)
{
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

// Windows reads a missing file as an empty one, but a missing folder, a
// directory or an unreadable file as no file at all. The difference shows:
// only the first passes the default through the quote rule.
static bool FolderOfExists(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    std::string folder = slash == NULL ? "." : slash == path ? "/" : std::string(path, slash);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads straight into the string, sized for the file plus one byte so that
// the end shows without a second pass over the text.
static bool ReadAll(int fd, off_t size, std::string& bytes)
{
    bytes.resize(static_cast<size_t>(size) + 1);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            // Grown past the limit since its size was taken.
            if (used > PROFILE_FILE_SIZE_LIMIT)
                return false;
            bytes.resize(bytes.size() * 2);
        }
        ssize_t count = read(fd, &bytes[used], bytes.size() - used);
        if (count == 0) {
            bytes.resize(used);
            return true;
        }
        if (count < 0 && errno != EINTR)
            return false;
        if (count > 0)
            used += static_cast<size_t>(count);
    }
}

// The parsed file, an empty one for a missing file, or NULL when there is no
// file to read.
static ParsedProfile* OpenProfile(LPCSTR fileName)
{
    static ParsedProfile cached;
    static bool cacheValid = false;
    static ParsedProfile missing = ParsedProfile();

    if (fileName == NULL)
        return NULL;
    struct stat identity;
    if (stat(fileName, &identity) != 0)
        return errno == ENOENT && FolderOfExists(fileName) ? &missing : NULL;
    if (!S_ISREG(identity.st_mode) || identity.st_size > PROFILE_FILE_SIZE_LIMIT)
        return NULL;
    if (cacheValid && cached.settled && cached.path == fileName && SameFile(cached.identity, identity))
        return &cached;

    // File times advance in clock ticks: a rewrite in the tick of the last
    // change keeps the same times. So the parse is trusted only once the
    // file's last change is older than the tick the parse began in; until
    // then every read parses the file again. A change time further ahead
    // than a tick comes from another clock (a file server's) and is trusted
    // at once rather than waited for.
    cacheValid = false;
    struct timespec started;
    clock_gettime(CLOCK_REALTIME_COARSE, &started);
    // The file may have been swapped since the stat: never wait on a FIFO,
    // and check the opened file again.
    int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    try {
        std::string bytes;
        bool complete = fstat(fd, &identity) == 0 && S_ISREG(identity.st_mode) &&
                        identity.st_size <= PROFILE_FILE_SIZE_LIMIT && ReadAll(fd, identity.st_size, bytes);
        close(fd);
        fd = -1;
        if (!complete)
            return NULL;
        cached.path = fileName;
        cached.identity = identity;
        long long ahead = Nanoseconds(identity.st_ctim) - Nanoseconds(started);
        cached.settled = ahead < 0 || ahead > 100000000;
        cached.sections.clear();
        cached.text = DecodeFileText(std::move(bytes));
        ParseProfile(cached);
    } catch (const std::bad_alloc&) {
        // Too large to hold: no file, and its partial parse given back.
        if (fd >= 0)
            close(fd);
        cached = ParsedProfile();
        return NULL;
    }
    cacheValid = true;
    return &cached;
}

static std::string QueryName(LPCSTR name)
{
    std::string folded(name);
    return std::string(FoldName(&folded[0], &folded[0] + folded.size()));
}

static const ProfileValue* FindValue(const ParsedProfile& profile, LPCSTR section, LPCSTR key)
{
    auto foundSection = profile.sections.find(QueryName(section));
    if (foundSection == profile.sections.end())
        return NULL;
    auto foundKey = foundSection->second.find(QueryName(key));
    if (foundKey == foundSection->second.end() || !foundKey->second.present)
        return NULL;
    return &foundKey->second;
}

// Copies text cut to size - 1 characters. A value in a matching pair of
// single or double quotes loses them the way Windows does it: it copies
// from after the opening quote, then drops the last character copied if
// the closing quote could have fit, so a quoted value that would exactly
// fill the buffer comes out one character short.
static DWORD CopyValue(std::string_view text, bool unquote, LPSTR buffer, DWORD size)
{
    size_t start = 0;
    size_t length = text.size();
    bool quoted = unquote && length >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
    if (quoted) {
        start = 1;
        --length;
    }
    size_t copied = length < size - 1 ? length : size - 1;
    // An empty view may have no data at all, which memcpy must not be given.
    if (copied > 0)
        std::memcpy(buffer, text.data() + start, copied);
    if (quoted && size >= length && copied > 0)
        --copied;
    buffer[copied] = '\0';
    return static_cast<DWORD>(copied);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName)
{
    if (buffer == NULL || size == 0)
        return 0;
    // Windows drops trailing spaces of the default, all but a first one.
    std::string_view fallback = defaultValue != NULL ? defaultValue : "";
    while (fallback.size() > 1 && fallback.back() == ' ')
        fallback.remove_suffix(1);

    // Listing sections or keys (a NULL name) is not offered.
    if (section == NULL || key == NULL)
        return CopyValue(std::string_view(), false, buffer, size);

    // No allocation failure leaves here: the file then reads as no file.
    try {
        ParsedProfile* profile = OpenProfile(fileName);
        if (profile == NULL)
            return CopyValue(fallback, false, buffer, size);
        const ProfileValue* value = FindValue(*profile, section, key);
        return CopyValue(value != NULL ? value->text : fallback, true, buffer, size);
    } catch (const std::bad_alloc&) {
        return CopyValue(fallback, false, buffer, size);
    }
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
