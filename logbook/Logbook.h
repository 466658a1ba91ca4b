#pragma once
// Finding and opening the logbook the companion program works on.
#include <stdexcept>
#include <string>

#include "store/Connection.h"

namespace wtlog {

// The installed program's per-user logbook, ${XDG_DATA_HOME:-$HOME/.local/share}/wingtrail/
// Wingtrail.dat, when it exists; otherwise Wingtrail.dat beside this executable, where the
// program itself looks when it is run from its own folder.
std::string DefaultLogbookPath(const std::string& executableFolder);
// The folder of the running executable.
std::string ExecutableFolder();

// Opens the logbook at path with every check the program makes when it opens one.
void OpenLogbook(store::Connection& connection, const std::string& path);

// A refused input: the file, and where known the line and field, and why.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace wtlog
