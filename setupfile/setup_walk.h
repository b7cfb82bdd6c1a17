// One walk over the setup file's entries in the run's order, read exactly
// as the run reads them: velloran, velloran-apply and velloran-check each
// hand it their own visitor, so they cannot step through the file
// differently.
#pragma once

#include "setup_file.h"

#include <functional>
#include <string>
#include <vector>

enum Phase { PHASE_MANAGER, PHASE_TRANSLATOR, PHASE_DRIVER, PHASE_DATA_SOURCE, PHASE_COUNT };

// The word every report uses for a phase.
extern const LPCSTR PHASE_NAMES[PHASE_COUNT];

// One entry as read. The buffers are the run's own sizes; `list` is a
// decoded list (a driver's or translator's spec, a data source's
// attributes), empty for the driver manager.
struct SetupEntry {
    Phase phase;
    int index;
    char key[LIST_KEY_SIZE];  // "Driver3", "DSDriver2", or "Install"
    char list[ATTRIBUTE_LIST_SIZE];
    char driver[DRIVER_NAME_SIZE];       // data sources only
    char keyword[REQUEST_KEYWORD_SIZE];  // data sources only
    WORD request;                        // data sources only
};

// Called for each entry; false ends the walk there.
typedef std::function<bool(const SetupEntry&)> EntryVisitor;

// Visits the entries of one phase in order, each read only when its turn
// comes. Returns the index at which the phase's list ended.
int WalkPhase(Phase phase, const EntryVisitor& visit);

typedef std::vector<std::string> Elements;

// A decoded list's elements, up to the empty one that closes it.
Elements SplitList(LPCSTR list);
