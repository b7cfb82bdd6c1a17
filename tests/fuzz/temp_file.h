// One scratch file per fuzzing process, rewritten with each input; the
// profile functions read it by path as they would a setup file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline const std::string& ScratchPath()
{
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder != NULL && folder[0] != '\0' ? folder : "/tmp") +
                           "/velloran-fuzz-XXXXXX";
        int fd = mkstemp(&name[0]);
        if (fd < 0)
            std::abort();
        close(fd);
        // Gone when the fuzzer exits normally; a crash leaves it for study.
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return name;
    }();
    return path;
}

inline const std::string& WriteScratch(const std::string& bytes)
{
    const std::string& path = ScratchPath();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == NULL || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0)
        std::abort();
    return path;
}
