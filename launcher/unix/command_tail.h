// The command-line tail of a Linux process, which gets an argument vector
// rather than a command line.
#pragma once

#include <cstddef>

// Joins argv[1..] with single blanks into buffer. False, with buffer empty,
// when the tail does not fit in size bytes.
bool JoinArguments(int argc, const char* const* argv, char* buffer, size_t size);
