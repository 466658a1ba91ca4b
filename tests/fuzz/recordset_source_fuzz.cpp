// Arbitrary source texts for a recordset on a small logbook. The layer opens one reading
// query and refuses anything else, and nothing it is handed changes the file or how the
// connection works on it (durability, locking, limits): not when it opens the query, not
// when it refuses it, not while the rows are read.
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FuzzCheck.h"
#include "store/Connection.h"
#include "store/Logbook.h"
#include "store/Recordset.h"
#include "store/RuntimeError.h"

namespace {

std::string gFolder;
std::string gFile;
store::Connection* gConnection = nullptr;
std::string gFileBytes;
std::string gSettings;
long long gSteps = 0;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Everything about the connection that a statement could change and that a Save relies on.
std::string settings(sqlite3* db)
{
    static const char* const kPragmas[] = {
        "synchronous", "busy_timeout", "query_only", "locking_mode", "journal_mode", "max_page_count",
        "cache_size", "mmap_size", "foreign_keys", "recursive_triggers", "secure_delete", "temp_store",
        "cache_spill", "automatic_index", "reverse_unordered_selects", "defer_foreign_keys",
        "ignore_check_constraints", "writable_schema", "trusted_schema", "cell_size_check",
        "count_changes", "journal_size_limit", "wal_autocheckpoint", "legacy_alter_table", "threads",
        "analysis_limit", "soft_heap_limit", "hard_heap_limit", "user_version", "application_id",
        "schema_version", "auto_vacuum", "page_size", "encoding", "full_column_names", "short_column_names",
        "empty_result_callbacks", "read_uncommitted", "checkpoint_fullfsync", "fullfsync"};
    std::string out;
    for (const char* name : kPragmas) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = std::string("PRAGMA ") + name;
        out += name;
        out += '=';
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && st) {
            while (sqlite3_step(st) == SQLITE_ROW)
                if (const auto* t = sqlite3_column_text(st, 0))
                    out += reinterpret_cast<const char*>(t);
        }
        sqlite3_finalize(st);
        out += '\n';
    }
    for (int limit = 0; limit <= SQLITE_LIMIT_WORKER_THREADS; ++limit)
        out += "limit " + std::to_string(limit) + "=" + std::to_string(sqlite3_limit(db, limit, -1)) + "\n";
    out += "autocommit=" + std::to_string(sqlite3_get_autocommit(db)) + "\n";
    return out;
}

// Keeps a query that would run for a long time (a recursive one without end) from
// stalling the run: the engine stops it, and the layer reports that as a failed read.
int budget(void*)
{
    return ++gSteps > 2000 ? 1 : 0;
}

void fill(const std::string& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const char* rows = R"sql(
        INSERT INTO tblLog (date, departure, timeDeparture, destination, timeArrival, nextday,
                            flighttime, aircraft, airline, callsign, flightrule, pax, cargo, remarks, route)
        VALUES ('2024-05-17', 'EDDF', '06:45', 'KJFK', '15:10', 0, '8.4', 'B744', 'Lufthansa', 'DLH400',
                'IFR', 372, 12000, 'Remarks with ''quotes''', 'NAT A'),
               (NULL, 'LSZH', NULL, NULL, NULL, 1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
               ('2023-01-01', 'Zürich', '23:50', 'Ἀθῆναι', '01:10', 1, '1,5', '', '', '', 'VFR', 0, 0, '', '');
    )sql";
    char* err = nullptr;
    if (sqlite3_exec(db, rows, nullptr, nullptr, &err) != SQLITE_OK)
        fuzz::fail(__FILE__, __LINE__, "fixture", err ? err : "insert failed");
    sqlite3_close(db);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char tmpl[] = "/tmp/wingtrail-fuzz-XXXXXX";
    if (!mkdtemp(tmpl))
        fuzz::fail(__FILE__, __LINE__, "mkdtemp", "no temporary folder");
    gFolder = tmpl;
    gFile = logbook::ProgramFile(gFolder, logbook::kDatabaseFile);
    logbook::CreateLogbook(gFile);
    fill(gFile);
    gConnection = new store::Connection;
    gConnection->Open(logbook::ConnectionString(gFolder));
    sqlite3* db = gConnection->handle();
    sqlite3_progress_handler(db, 100, budget, nullptr);
    // Big values and deep expressions cost the engine, not the layer.
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    gFileBytes = readFile(gFile);
    gSettings = settings(db);
    std::atexit([] {
        delete gConnection;
        std::filesystem::remove_all(gFolder);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the cursor and lock types, the rest is the source.
    const int cursorType = (data[0] & 7) % 5 - 1;
    const int lockType = ((data[0] >> 3) & 7) % 6 - 1;
    const std::string source(reinterpret_cast<const char*>(data + 1), size - 1);
    sqlite3* db = gConnection->handle();
    gSteps = 0;

    {
        store::Recordset rs;
        bool opened = false;
        try {
            rs.Open(source, *gConnection, cursorType, lockType);
            opened = true;
        } catch (const store::RuntimeError&) {
            FUZZ_CHECK(!rs.isOpen(), "a refused source left the recordset open: " + fuzz::shown(source));
        }
        if (opened) {
            const int columns = static_cast<int>(rs.fieldNames().size());
            FUZZ_CHECK(columns > 0, "opened a source that reads no columns: " + fuzz::shown(source));
            try {
                for (int row = 0; row < 8 && !rs.Eof(); ++row) {
                    for (int c = 0; c < columns; ++c) {
                        const auto text = rs.fieldText(c);
                        const store::Value& v = rs.field(c);
                        FUZZ_CHECK(text.has_value() == !v.isNull(), "fieldText and field disagree on Null");
                        if (text)
                            FUZZ_CHECK(*text == v.toText(), "fieldText and field disagree: "
                                                                + fuzz::shown(*text) + " / " + fuzz::shown(v.toText()));
                        FUZZ_CHECK(rs.fieldIsTrue(c) == v.isTrue(), "fieldIsTrue and field disagree");
                    }
                    rs.MoveNext();
                }
            } catch (const store::RuntimeError&) {
                // A read the engine gave up on (the step budget above) is a reported failure.
            }
            rs.Close();
        }
    }

    FUZZ_CHECK(sqlite3_total_changes(db) == 0, "the source changed rows: " + fuzz::shown(source));
    gSteps = 0;
    const std::string now = settings(db);
    FUZZ_CHECK(now == gSettings, "the source changed the connection: " + fuzz::shown(source) + "\nbefore:\n"
                                     + gSettings + "after:\n" + now);
    FUZZ_CHECK(readFile(gFile) == gFileBytes, "the source changed the file: " + fuzz::shown(source));
    return 0;
}
