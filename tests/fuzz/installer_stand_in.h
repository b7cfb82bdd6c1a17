// What the in-process installer stand-in saw during one run.
#pragma once

#include "platform.h"

#include <string>
#include <vector>

struct InstallerCall {
    std::string function;
    WORD request;
    std::string driver;
    std::string list;  // up to and with the NUL pair that closes it
    BOOL result;
};

struct InstallerRecord {
    std::vector<InstallerCall> calls;
    std::vector<std::string> warnings;
    int librariesOpen;
    unsigned failMask;  // call n (from 0) fails when bit n % 8 is set
};

extern InstallerRecord StandInRecord;

void ResetStandIn(unsigned failMask);
