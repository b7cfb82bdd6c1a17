// DecodeAttributeList over any value a 1000-byte buffer can hold, with or
// without its NUL. The list must come out closed by two NULs inside the
// buffer and hold what a plain reading of the "\0" rule gives.
#include "setup_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The rule stated on its own: each "\0" a NUL, at most 998 bytes kept, the
// list ending at its first NUL pair.
std::string ExpectedList(const std::string& value)
{
    std::string decoded;
    for (size_t i = 0; i < value.size() && value[i] != '\0'; ++i) {
        bool escape = value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '0';
        decoded += escape ? '\0' : value[i];
        i += escape ? 1 : 0;
    }
    decoded = decoded.substr(0, ATTRIBUTE_LIST_SIZE - 2) + std::string(2, '\0');
    for (size_t i = 1; i < decoded.size(); ++i) {
        if (decoded[i] == '\0' && decoded[i - 1] == '\0')
            return decoded.substr(0, i + 1);
    }
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // On the heap and exactly the list's size, so a step past it is seen.
    std::unique_ptr<char[]> buffer(new char[ATTRIBUTE_LIST_SIZE]);
    size_t length = std::min<size_t>(size, ATTRIBUTE_LIST_SIZE);
    std::memset(buffer.get(), 'x', ATTRIBUTE_LIST_SIZE);
    std::memcpy(buffer.get(), data, length);
    if (length < ATTRIBUTE_LIST_SIZE)
        buffer[length] = '\0';
    std::string value(buffer.get(), ATTRIBUTE_LIST_SIZE);

    DecodeAttributeList(buffer.get());
    if (buffer[ATTRIBUTE_LIST_SIZE - 2] != '\0' || buffer[ATTRIBUTE_LIST_SIZE - 1] != '\0')
        std::abort();
    std::string expected = ExpectedList(value);
    if (std::memcmp(buffer.get(), expected.data(), expected.size()) != 0)
        std::abort();
    return 0;
}
