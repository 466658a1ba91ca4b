#pragma once
// One measured run of each kind. Every run starts from scratch (its own connection, its
// own window or widget), so runs can be repeated and interleaved freely.
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class QEventLoop;
class ListView;

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

// The resident set of this process in bytes; with trimFirst after giving freed heap back
// to the system so that earlier runs' garbage does not count, without it as the system
// sees the process.
long ResidentBytes(bool trimFirst = true);

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

// One bare INSERT of a flight into the file's tblLog, committed in its own BEGIN IMMEDIATE
// transaction with the settings the program writes with (rollback journal, synchronous=EXTRA).
Timed InsertFloor(const std::string& databasePath);

// Watches for the overview list to be painted on the screen with a given number of rows.
class ListPaint : public QObject {
public:
    ListPaint();
    ~ListPaint() override;
    // Once lstOverview's rows have been painted while it holds `rows` of them, `then` runs
    // at the next turn of the event loop, that is after the paint and its flush.
    void arm(long rows, std::function<void(ListView*)> then);
    // Runs the event loop until that has happened; false after the time-out.
    bool wait(int timeoutMs = 300000);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    long rows_ = 0;
    std::function<void(ListView*)> then_;
    bool armed_ = false;
    bool done_ = false;
    QEventLoop* loop_ = nullptr;
};

// What a developer would otherwise reach for: a QTreeWidget filled from the same
// recordset with the same cell texts, then sortItems on the same column.
FillThenSort PeerRun(const std::string& programFolder, int sortColumn);

} // namespace bench
