/*
 * The one case folding, for C and C++ alike and below every other floor:
 * the programs, the Linux profile functions and the setup library compare
 * names as the installer does, ignoring the case of ASCII letters and
 * leaving every other byte (UTF-8, a code page) as it is.
 */
#pragma once

static inline char LowerAsciiLetter(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}
