#include "store/Logbook.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "store/Connection.h"
#include "store/RuntimeError.h"
#include "store/Value.h"

namespace logbook {

// AUTOINCREMENT keeps a deleted entry's number from ever being handed out again.
const char* const kSchema = R"sql(CREATE TABLE tblLog (
    logid         INTEGER PRIMARY KEY AUTOINCREMENT,
    date          DATE CONSTRAINT date_is_yyyy_mm_dd
                       CHECK (date IS NULL OR (typeof(date) = 'text' AND date(date) IS date)),
    departure     TEXT,
    timeDeparture TEXT,
    destination   TEXT,
    timeArrival   TEXT,
    nextday       BOOLEAN CONSTRAINT nextday_is_yes_or_no CHECK (nextday IS NULL OR nextday IN (0, 1)),
    flighttime    TEXT,
    aircraft      TEXT,
    airline       TEXT,
    callsign      TEXT,
    flightrule    TEXT,
    pax           INTEGER CONSTRAINT pax_is_a_number CHECK (pax IS NULL OR typeof(pax) = 'integer'),
    cargo         INTEGER CONSTRAINT cargo_is_a_number CHECK (cargo IS NULL OR typeof(cargo) = 'integer'),
    remarks       TEXT,
    route         TEXT
);
)sql";

std::string ProgramFile(std::string_view programFolder, std::string_view windowsName)
{
    std::string out(programFolder);
    for (char c : windowsName)
        out += (c == '\\') ? '/' : c;
    return out;
}

std::string ConnectionString(std::string_view programFolder)
{
    // The Windows text "\Wingtrail.dat;Persist..." with this platform's separator; a
    // folder whose name holds a ";" or a quote is quoted, so the logbook is found there too.
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source="
        + store::ConnectionString::quote(ProgramFile(programFolder, kDatabaseFile)) + ";Persist Security Info=False";
}

std::string SelectById(std::int64_t logid) { return std::string(kSelectAll) + " where logid =" + std::to_string(logid); }

std::optional<std::int64_t> ParseLogId(std::string_view text) { return store::Value::wholeNumber(text); }

void CreateLogbook(const std::string& path)
{
    using store::RuntimeError;
    // O_EXCL: an existing file (or anything else at that path) is never touched.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int e = errno;
        if (e == EEXIST)
            throw RuntimeError(store::err::PathFileAccess,
                               "'" + path + "' already exists; it was left as it is.");
        throw RuntimeError(store::err::PathFileAccess,
                           "Cannot create '" + path + "': " + std::strerror(e) + ".");
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* errmsg = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, kSchema, nullptr, nullptr, &errmsg);
    if (rc != SQLITE_OK) {
        std::string msg = errmsg ? errmsg : (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_free(errmsg);
        sqlite3_close(db);
        ::unlink(path.c_str());
        throw RuntimeError(store::err::DatabaseEngine, "Cannot create the logbook '" + path + "': " + msg + ".");
    }
    sqlite3_close(db);
}

} // namespace logbook
