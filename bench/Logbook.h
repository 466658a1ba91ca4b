#pragma once
// wingtrail-logbook's work on a generated logbook, each beside what bare SQLite needs for
// the same result: stats beside a GROUP BY with the same sums, export beside a bare scan,
// import beside a prepared insert in one transaction, and the report against 3 s.
#include <string>

namespace bench {

// Prints one Markdown table for the logbook in programFolder (n entries, reps runs each).
// Returns false when a result was wrong (the rows or sums differ from the baseline's).
bool MeasureLogbook(const std::string& programFolder, long n, int reps, const std::string& workFolder);

} // namespace bench
