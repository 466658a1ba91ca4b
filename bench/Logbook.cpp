#include "Logbook.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

#include "Runs.h"
#include "logbook/Fields.h"
#include "logbook/Import.h"
#include "logbook/Listing.h"
#include "logbook/Logbook.h"
#include "logbook/Report.h"
#include "logbook/Stats.h"
#include "store/Logbook.h"

namespace fs = std::filesystem;

namespace bench {

namespace {

struct Db {
    sqlite3* db = nullptr;
    explicit Db(const std::string& path, int flags = SQLITE_OPEN_READWRITE)
    {
        if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    ~Db() { sqlite3_close(db); }
};

void check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// The same sums as stats, in SQL: hours from the flight time "H:MM" or, where it is empty,
// from the two times and the next-day flag; an entry whose arrival comes before its
// departure without the flag is left out, as stats leaves it out. The generated logbook
// writes "H:MM" flight times and valid clock times only.
constexpr const char* kMinutes =
    "CASE WHEN flighttime IS NOT NULL AND flighttime <> '' THEN "
    "CAST(substr(flighttime, 1, instr(flighttime, ':') - 1) AS INTEGER) * 60 "
    "+ CAST(substr(flighttime, instr(flighttime, ':') + 1) AS INTEGER) "
    "WHEN timeDeparture IS NOT NULL AND timeArrival IS NOT NULL THEN "
    "(CAST(substr(timeArrival, 1, 2) AS INTEGER) * 60 + CAST(substr(timeArrival, 4, 2) AS INTEGER)) "
    "- (CAST(substr(timeDeparture, 1, 2) AS INTEGER) * 60 + CAST(substr(timeDeparture, 4, 2) AS INTEGER)) "
    "+ CASE WHEN nextday THEN 1440 ELSE 0 END END";

struct GroupSums {
    long long flights = 0;
    double hours = 0;
};

std::map<std::string, GroupSums> groupBy(const std::string& database, const char* key)
{
    Db d(database, SQLITE_OPEN_READONLY);
    const std::string sql = std::string("SELECT ") + key + ", count(*), sum(" + kMinutes
        + ") / 60.0, sum(pax), sum(cargo) FROM tblLog WHERE (" + kMinutes + ") >= 0 GROUP BY 1";
    sqlite3_stmt* st = nullptr;
    check(d.db, sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr), "prepare GROUP BY");
    std::map<std::string, GroupSums> out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* k = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out[k ? k : "(none)"] = {sqlite3_column_int64(st, 1), sqlite3_column_double(st, 2)};
    }
    sqlite3_finalize(st);
    check(d.db, rc, "GROUP BY");
    return out;
}

// Every field of every entry, each one's text fetched: what an export cannot do with less.
long bareScan(const std::string& database)
{
    Db d(database, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT " + std::string(wtlog::kFieldList) + " FROM tblLog ORDER BY logid";
    check(d.db, sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr), "prepare scan");
    long rows = 0;
    unsigned sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < wtlog::FieldCount; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            if (t && sqlite3_column_bytes(st, c))
                sum += t[0];
        }
        ++rows;
    }
    sqlite3_finalize(st);
    [[maybe_unused]] static volatile unsigned sink;
    sink = sum;
    return rows;
}

struct Values {
    std::vector<std::string> text;
    std::vector<unsigned char> kind;  // 0 Null, 1 integer, 2 text
    std::vector<long long> number;
};

Values loadValues(const std::string& database)
{
    Values v;
    Db d(database, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT " + std::string(wtlog::kFieldList) + " FROM tblLog ORDER BY logid";
    check(d.db, sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr), "prepare load");
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < wtlog::FieldCount; ++c) {
            const int type = sqlite3_column_type(st, c);
            v.kind.push_back(type == SQLITE_NULL ? 0 : type == SQLITE_INTEGER ? 1 : 2);
            v.number.push_back(sqlite3_column_int64(st, c));
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            v.text.emplace_back(t ? t : "");
        }
    sqlite3_finalize(st);
    return v;
}

// The same rows into an empty logbook with one prepared INSERT in one transaction.
double bareInsert(const Values& v, const std::string& path)
{
    fs::remove(path);
    logbook::CreateLogbook(path);
    Stopwatch clock;
    Db d(path);
    check(d.db, sqlite3_exec(d.db, "BEGIN", nullptr, nullptr, nullptr), "begin");
    sqlite3_stmt* st = nullptr;
    const std::string sql = "INSERT INTO tblLog (" + std::string(wtlog::kFieldList)
        + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    check(d.db, sqlite3_prepare_v2(d.db, sql.c_str(), -1, &st, nullptr), "prepare insert");
    for (std::size_t i = 0; i < v.kind.size(); i += wtlog::FieldCount) {
        for (int c = 0; c < wtlog::FieldCount; ++c) {
            const std::size_t k = i + static_cast<std::size_t>(c);
            if (v.kind[k] == 0)
                sqlite3_bind_null(st, c + 1);
            else if (v.kind[k] == 1)
                sqlite3_bind_int64(st, c + 1, v.number[k]);
            else
                sqlite3_bind_text(st, c + 1, v.text[k].data(), static_cast<int>(v.text[k].size()), SQLITE_STATIC);
        }
        check(d.db, sqlite3_step(st), "insert");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(d.db, sqlite3_exec(d.db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    return clock.ms();
}

} // namespace

// One run of every wingtrail-logbook measurement on the logbook of s, each beside its floor.
// The copies it writes live in a work folder beside the scratch program folder.
void RunLogbook(const Setup& s, Samples& samples)
{
    const std::string database = s.database();
    const std::string workFolder = s.scratch + "-logbook";
    fs::create_directories(workFolder);
    const std::string csv = workFolder + "/export.csv";
    const std::string target = workFolder + "/import.dat";
    const std::string bare = workFolder + "/bare.dat";
    const std::string page = workFolder + "/report.html";
    const long n = s.n;
    auto wrong = [&](const std::string& what) { samples.wrong("logbook " + what); };

    // The values of the bare insert, read once a size and not timed.
    static std::map<std::string, Values> valuesOf;
    if (!valuesOf.count(database))
        valuesOf[database] = loadValues(database);
    const Values& values = valuesOf[database];

    for (const auto& [key, by, sql] : {std::tuple{"stats year", wtlog::GroupBy::Year, "substr(date, 1, 4)"},
                                       std::tuple{"stats aircraft", wtlog::GroupBy::Aircraft, "aircraft"}}) {
        Stopwatch floorClock;
        const auto floor = groupBy(database, sql);
        samples.add(std::string(key) + " floor", floorClock.ms());
        Stopwatch clock;
        store::Connection c;
        wtlog::OpenLogbook(c, database);
        wtlog::StatsQuery q;
        q.groupBy = {by};
        const wtlog::Stats st = wtlog::ComputeStats(c, q);
        c.Close();
        samples.add(key, clock.ms());
        if (s.rep == 0) {
            // The generated logbook holds only readable values where the SQL can read them.
            long long flights = 0;
            for (const auto& g : st.groupings[0].groups) {
                const auto it = floor.find(g.key);
                if (it == floor.end() || it->second.flights != g.sums.flights
                    || std::fabs(it->second.hours - g.sums.hours) > 1e-6 * std::max(1.0, g.sums.hours))
                    wrong(std::string(key) + ": group '" + g.key + "' differs from the GROUP BY");
                flights += g.sums.flights;
            }
            if (flights + st.problemCount != n)
                wrong(std::string(key) + ": the entries do not add up");
        }
    }
    {
        Stopwatch floorClock;
        if (bareScan(database) != n)
            wrong("scan: wrong row count");
        samples.add("export floor", floorClock.ms());
        Stopwatch clock;
        store::Connection c;
        wtlog::OpenLogbook(c, database);
        std::FILE* out = std::fopen(csv.c_str(), "wb");
        const auto rows = wtlog::ExportCsv(c, out);
        std::fclose(out);
        c.Close();
        samples.add("export", clock.ms());
        samples.expectRows("export", rows, n);
    }
    {
        samples.add("import floor", bareInsert(values, bare));
        fs::remove(target);
        logbook::CreateLogbook(target);
        Stopwatch clock;
        store::Connection c;
        wtlog::OpenLogbook(c, target);
        wtlog::ImportOptions o;
        o.allowDuplicates = true;
        const auto r = wtlog::ImportCsv(c, csv, o);
        c.Close();
        samples.add("import", clock.ms());
        if (!r.written || r.rows != n)
            wrong("import: not every row was filed");
    }
    {
        Stopwatch clock;
        store::Connection c;
        wtlog::OpenLogbook(c, database);
        wtlog::StatsQuery q;
        q.groupBy = {wtlog::GroupBy::Month, wtlog::GroupBy::Year, wtlog::GroupBy::Route, wtlog::GroupBy::Aircraft};
        const std::string html = wtlog::ReportHtml(wtlog::ComputeStats(c, q), database);
        c.Close();
        std::FILE* out = std::fopen(page.c_str(), "wb");
        std::fwrite(html.data(), 1, html.size(), out);
        std::fclose(out);
        samples.add("report", clock.ms());
    }
    for (const auto& f : {csv, target, bare, page})
        fs::remove(f);
}

void AddLogbookSteps(Suite& suite)
{
    suite.add(Measurement{"logbook", RunLogbook});
    suite.add(Row{"wingtrail-logbook stats --by year", "stats year", "stats year floor", "(GROUP BY, same sums)", 1.5});
    suite.add(Row{"wingtrail-logbook stats --by aircraft", "stats aircraft", "stats aircraft floor",
                  "(GROUP BY, same sums)", 1.5});
    suite.add(Row{"wingtrail-logbook export --csv", "export", "export floor", "(bare scan of every field)", 2});
    suite.add(Row{"wingtrail-logbook import --csv", "import", "import floor", "(prepared INSERT, one transaction)", 2});
    suite.add(Row{"wingtrail-logbook report --html", "report", "", "", 3000});
}

} // namespace bench
