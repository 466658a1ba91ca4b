#pragma once
// An SQLite VFS over the default one that lets a test end the process at an exact
// moment of a write: the Nth write, sync, truncate or delete, counted across every file
// the engine touches. It also logs what it sees, so that a test can read which files were
// synced and whether a journal's deletion was made durable in its folder.
//
// Installed as the default VFS, so the store's own code uses it unchanged.
#include <string>

namespace reliability {

struct FaultPlan {
    std::string op;     // "write", "sync", "truncate", "delete", "any" or empty (never)
    long at = 0;        // the call (1-based) at which the process is killed
    std::string log;    // a file to append one line a call to, or empty
};

// Reads WT_KILL_AT ("op:N") and WT_VFS_LOG (a path) from the environment.
FaultPlan PlanFromEnvironment();
void InstallFaultVfs(const FaultPlan& plan);

} // namespace reliability
