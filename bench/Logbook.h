#pragma once
// wingtrail-logbook's work on a generated logbook, each beside what bare SQLite needs for
// the same result: stats beside a GROUP BY with the same sums, export beside a bare scan,
// import beside a prepared insert in one transaction, and the report against 3 s.
#include <string>

#include "Suite.h"

namespace bench {

// Registers the wingtrail-logbook measurements and their rows (--only logbook).
void AddLogbookSteps(Suite& suite);

} // namespace bench
