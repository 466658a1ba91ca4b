#pragma once
// Backing the logbook up while the program may have it open, and checking what it holds.
#include <cstdint>
#include <string>
#include <vector>

#include "store/Connection.h"

namespace wtlog {

// Copies the open logbook to dest with SQLite's online backup: one consistent state of the
// file even while another program reads it or files entries. The copy is made beside dest
// under another name, checked with integrity_check, and only then renamed to dest. An
// existing dest is refused (Refused) unless overwrite. Returns the entries copied.
std::int64_t Backup(store::Connection& source, const std::string& dest, bool overwrite);

struct CheckFinding {
    std::string what;  // "integrity", "shape" or "value"
    std::string text;
};

struct CheckReport {
    std::vector<CheckFinding> findings;  // the first kListed
    std::int64_t findingCount = 0;
    std::int64_t entries = 0;
    static constexpr std::size_t kListed = 1000;
};

// integrity_check, the table's columns against the logbook's own definition, and each
// value the windows cannot show as it is stored: a date that is not a date, passengers
// or cargo that are not a number, an entry number the edit window cannot take.
CheckReport Check(store::Connection& connection);

} // namespace wtlog
