#pragma once
// What the companion program's tests share: a temporary folder, logbooks made in it,
// the program run as a user runs it, and the rows of a file read back with plain SQLite.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/Logbook.h"
#include "support/TempFolder.h"

namespace wt::logtest {

namespace fs = std::filesystem;

using ::TempFolder;

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline void exec(const std::string& db, const std::string& sql)
{
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &err);
    const std::string msg = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(h);
    ASSERT_EQ(rc, SQLITE_OK) << msg << "\n" << sql;
}

// A new empty logbook; withoutRules gives tblLog as another program may have made it, which
// holds whatever that program wrote.
inline std::string makeLogbook(const TempFolder& dir, const std::string& name = "Wingtrail.dat",
                               bool withoutRules = false)
{
    const std::string path = dir.file(name);
    logbook::CreateLogbook(path);
    if (withoutRules)
        exec(path, "DROP TABLE tblLog; CREATE TABLE tblLog (logid INTEGER PRIMARY KEY, date DATE, departure TEXT, "
                   "timeDeparture TEXT, destination TEXT, timeArrival TEXT, nextday BOOLEAN, flighttime TEXT, "
                   "aircraft TEXT, airline TEXT, callsign TEXT, flightrule TEXT, pax INTEGER, cargo INTEGER, "
                   "remarks TEXT, route TEXT)");
    return path;
}

// Every row of tblLog in logid order, each value with its storage class ("text:EDDF",
// "integer:3", "null"), so that a text "3" and a number 3 differ.
inline std::vector<std::vector<std::string>> rows(const std::string& db, const std::string& order = "logid")
{
    std::vector<std::vector<std::string>> out;
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT logid, date, departure, timeDeparture, destination, timeArrival, nextday, "
                            "flighttime, aircraft, airline, callsign, flightrule, pax, cargo, remarks, route FROM "
                            "tblLog ORDER BY " + order;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const int type = sqlite3_column_type(st, c);
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                static const char* names[] = {"", "integer", "real", "text", "blob", "null"};
                row.push_back(std::string(names[type]) + (type == SQLITE_NULL ? "" : ":" + std::string(text)));
            }
            out.push_back(std::move(row));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

struct Ran {
    int status = -1;
    std::string out, err;
};

// The program as a user runs it: arguments as given (no shell quoting needed for our
// temporary paths), standard output and error captured.
inline Ran runLogbook(const TempFolder& dir, const std::string& args, const std::string& env = {})
{
    const char* bin = std::getenv("WT_BIN_DIR");
    const std::string exe = std::string(bin ? bin : ".") + "/wingtrail-logbook";
    const std::string out = dir.file("run.out"), err = dir.file("run.err");
    const std::string cmd = env + (env.empty() ? "" : " ") + exe + " " + args + " >" + out + " 2>" + err + " </dev/null";
    const int rc = std::system(cmd.c_str());
    Ran r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
}

// Writes text as a CSV file beside the logbook and imports it with the given options.
inline Ran importCsv(const TempFolder& dir, const std::string& db, const std::string& text,
                     const std::string& options = {})
{
    const std::string csv = dir.file("import.csv");
    writeFile(csv, text);
    return runLogbook(dir, "--logbook " + db + " import --csv " + csv + (options.empty() ? "" : " " + options));
}

} // namespace wt::logtest
