// GetPrivateProfileStringA / GetPrivateProfileIntA over a fuzzed file with
// fuzzed names, default and buffer size. The buffer is exactly the size
// given, so the sanitizer sees any write past it; the answer must be a C
// string of the returned length.
#include "platform.h"
#include "temp_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string section = input.ConsumeRandomLengthString(64);
    std::string key = input.ConsumeRandomLengthString(64);
    std::string fallback = input.ConsumeRandomLengthString(64);
    DWORD bufferSize = input.ConsumeIntegralInRange<DWORD>(0, 1100);
    int intFallback = input.ConsumeIntegral<int>();
    // A NULL name or default, now and then, as the API allows.
    uint8_t nulls = input.ConsumeIntegral<uint8_t>();
    const std::string& path = WriteScratch(input.ConsumeRemainingBytesAsString());

    LPCSTR sectionArgument = (nulls & 1) != 0 ? NULL : section.c_str();
    LPCSTR keyArgument = (nulls & 2) != 0 ? NULL : key.c_str();
    LPCSTR fallbackArgument = (nulls & 4) != 0 ? NULL : fallback.c_str();
    std::vector<char> buffer(bufferSize);
    DWORD returned = GetPrivateProfileStringA(sectionArgument, keyArgument, fallbackArgument,
                                              buffer.data(), bufferSize, path.c_str());
    if (bufferSize == 0) {
        if (returned != 0)
            std::abort();
    } else if (returned >= bufferSize || buffer[returned] != '\0' ||
               std::strlen(buffer.data()) != returned) {
        std::abort();
    }
    GetPrivateProfileIntA(section.c_str(), key.c_str(), intFallback, path.c_str());
    return 0;
}
