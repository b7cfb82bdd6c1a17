// An entry as the installer stores it: names, keys and values trimmed of
// blanks, keys compared without regard to case, a key given twice kept as
// either of its values (unixODBC keeps the first of a driver's, the setup
// library and Windows the last), and a driver's bare file name equal to the
// full path Windows stores for it.
#pragma once

#include "ascii_case.h"
#include "odbc_configuration.h"
#include "setup_walk.h"
#include "stored_blanks.h"

#include <set>
#include <string>
#include <vector>

struct StoredPair {
    std::string key;                  // trimmed, as first given
    std::vector<std::string> values;  // trimmed, in the order given
};
typedef std::vector<StoredPair> StoredPairs;


// The keyword=value elements from `first` on; elements that are no pair
// are left out.
StoredPairs StoredPairsOf(const Elements& elements, size_t first);

// What in `section` differs from `pairs`, in words ("" when it holds every
// pair); keys in `ignored` (folded) are not compared. Secret values are
// never quoted.
std::string DifferenceFrom(const ConfigurationSection& section, const StoredPairs& pairs,
                           const std::set<std::string>& ignored);

// The section as an install or a configure would leave it: every pair set
// to its last value.
void SetPairs(ConfigurationSection& section, const StoredPairs& pairs,
              const std::set<std::string>& ignored);
