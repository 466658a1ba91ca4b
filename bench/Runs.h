#pragma once
// One measured run of each kind. Every run starts from scratch (its own connection, its
// own window or widget), so runs can be repeated and interleaved freely.
#include <QString>
#include <chrono>
#include <cstdint>
#include <string>

namespace bench {

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double ms() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// The resident set of this process in bytes, after giving freed heap back to the system
// so that earlier runs' garbage does not count.
long ResidentBytes();

struct Timed {
    double ms = 0;
    long rows = 0;
    std::uint64_t textBytes = 0;   // scan only: UTF-8 bytes of the cells the overview shows
    long residentGrowth = 0;       // resident set after the fill (or the sort) minus before the fill
    QString topText;               // sorts only: the key cell of the first row afterwards
};

struct FillThenSort {
    Timed fill;
    Timed sort;  // not run when sortColumn is 0
};

// The floors: SQLite alone, stepping over the shown columns and touching each one's text,
// unordered or with ORDER BY <field of column> DESC (a header click sorts descending).
Timed ScanFloor(const std::string& databasePath, int orderByColumn = 0);

// The overview window as the program opens it: Load() fills lstOverview through
// FillOverviewList; then one header click on sortColumn (1-based) from the unsorted state.
FillThenSort OverviewRun(const std::string& programFolder, int sortColumn);

// What a developer would otherwise reach for: a QTreeWidget filled from the same
// recordset with the same cell texts, then sortItems on the same column.
FillThenSort PeerRun(const std::string& programFolder, int sortColumn);

} // namespace bench
