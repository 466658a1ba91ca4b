#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "Dataset.h"
#include "Runs.h"

namespace bench {

long ResidentBytes(bool trimFirst)
{
    if (trimFirst)
        malloc_trim(0);
    long size = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

Timed ScanFloor(const std::string& databasePath, int orderByColumn)
{
    std::string sql = std::string("SELECT ") + kShownColumns + " FROM tblLog";
    if (orderByColumn > 0)
        sql += std::string(" ORDER BY ") + FieldOfColumn(orderByColumn) + " DESC";

    Timed out;
    Stopwatch clock;
    sqlite3* db = nullptr;
    // Without the engine's per-call mutex, as the program's own connections are opened:
    // the floor must not be slower than the store could be.
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + databasePath);
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        const std::string msg = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("cannot prepare " + sql + ": " + msg);
    }
    const int columns = sqlite3_column_count(stmt);
    // Each column's text is fetched (numbers converted, as a list needs them) and its bytes
    // summed, so that nothing can be skipped by the engine or the optimiser.
    int rc;
    unsigned checksum = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(stmt, c);
            const int bytes = sqlite3_column_bytes(stmt, c);
            out.textBytes += static_cast<std::uint64_t>(bytes);
            if (text && bytes)
                checksum += text[0];
        }
        if (out.rows == 0 && orderByColumn > 0) {
            // The ORDER BY column sits at its list position, shifted by nextday after Arrival Time.
            const int c = orderByColumn <= 6 ? orderByColumn - 1 : orderByColumn;
            const unsigned char* text = sqlite3_column_text(stmt, c);
            out.topText = QString::fromUtf8(text ? reinterpret_cast<const char*>(text) : "");
        }
        ++out.rows;
    }
    const bool ok = rc == SQLITE_DONE;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    out.ms = clock.ms();
    if (!ok)
        throw std::runtime_error("scan failed: " + sql);
    // Keeps the first-byte reads from being optimised away.
    [[maybe_unused]] static volatile unsigned sink;
    sink = checksum;
    return out;
}

Timed InsertFloor(const std::string& databasePath)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + databasePath);
    }
    sqlite3_busy_timeout(db, 5000);
    auto exec = [&](const char* sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
            const std::string text = msg ? msg : "?";
            sqlite3_free(msg);
            sqlite3_close(db);
            throw std::runtime_error(std::string(sql) + ": " + text);
        }
    };
    // The journal mode is the engine's default, rollback with the journal deleted, as the
    // program leaves it.
    exec("PRAGMA synchronous=EXTRA");
    Timed out;
    Stopwatch clock;
    exec("BEGIN IMMEDIATE");
    exec("INSERT INTO tblLog (date, departure, timeDeparture, destination, timeArrival, nextday, flighttime, "
         "aircraft, airline, callsign, flightrule, pax, cargo, remarks, route) VALUES ('2024-05-01', 'EDDF', "
         "'08:15', 'EGLL', '09:05', 0, '01:50', 'A320', 'Lufthansa', 'DLH900', 'IFR', 150, 2000, "
         "'Benchmark flight', 'OBOKA UZ29 TOTRI')");
    exec("COMMIT");
    out.ms = clock.ms();
    out.rows = 1;
    sqlite3_close(db);
    return out;
}

} // namespace bench
