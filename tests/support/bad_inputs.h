// The bad-input rows velloran and velloran-apply are both held to: setup
// files and paths that are damaged, huge, oddly encoded or not files at
// all, with the installer calls velloran makes for each.
#pragma once

#include "program_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

const char ONE_DRIVER_SETUP[] = "[Drivers]\nDriver1=A\n";

struct BadInput {
    const char* kind;
    // Prepares the input in the sandbox and returns the setup file's path.
    std::string (*prepare)(const Sandbox& box);
    // velloran's installer calls, as the fake records them but cut after
    // their first quoted argument.
    std::vector<std::string> calls;
    // False where there is no file to read: velloran-apply exits 2.
    bool readable;
};

extern const std::vector<BadInput> BAD_INPUTS;

// The row's kind as a test name: letters and digits, '_' for the rest.
std::string BadInputName(const testing::TestParamInfo<BadInput>& info);

inline void PrintTo(const BadInput& row, std::ostream* out)
{
    *out << row.kind;
}

// A test of one row: its input prepared in a sandbox of its own, and the
// settings for a run through the recording fake installer.
class BadInputTest : public testing::TestWithParam<BadInput> {
protected:
    Sandbox box;
    std::string path = GetParam().prepare(box);

    std::vector<std::string> FakeInstaller(const std::filesystem::path& log) const
    {
        return {"LD_LIBRARY_PATH=" FAKE_INSTALLER_DIR, "VELLORAN_FAKE_LOG=" + log.string()};
    }
};

// A sparse file of `size` bytes: `head`, NULs, then `tail` at its very end.
std::string SparseSetup(const Sandbox& box, std::uintmax_t size, const std::string& head,
                        const std::string& tail);
