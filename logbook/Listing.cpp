#include "logbook/Listing.h"

#include <sqlite3.h>

#include <charconv>

#include "logbook/Csv.h"
#include "logbook/Fields.h"
#include "store/ShownText.h"
#include "store/Value.h"

namespace wtlog {

namespace {

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

void prepare(store::Connection& c, const std::string& sql, Statement& s)
{
    const int rc = sqlite3_prepare_v2(c.handle(), sql.c_str(), -1, &s.st, nullptr);
    if (rc != SQLITE_OK)
        c.fail(rc, "Cannot read the logbook");
}

std::string likePattern(const std::string& part)
{
    std::string out = "%";
    for (char ch : part) {
        if (ch == '%' || ch == '_' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + "%";
}

// The sort keys and the field each orders by; ties go by date and departure time.
constexpr std::pair<const char*, const char*> kSorts[] = {
    {"date", nullptr},          {"logid", nullptr},    {"departure", "departure"}, {"destination", "destination"},
    {"aircraft", "aircraft"},   {"airline", "airline"}, {"callsign", "callsign"},   {"rule", "flightrule"}};

std::string orderBy(const std::string& key)
{
    if (key == "logid")
        return "logid";
    for (const auto& [name, field] : kSorts)
        if (key == name && field)
            return std::string(field) + " COLLATE NOCASE, date, timeDeparture, logid";
    return "date, timeDeparture, logid";
}

} // namespace

const std::vector<std::string>& SortKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> out;
        for (const auto& sort : kSorts)
            out.emplace_back(sort.first);
        return out;
    }();
    return keys;
}

const std::vector<std::string>& ListHeaders()
{
    static const std::vector<std::string> headers = {"Nr.", "Date", "From", "Destination", "Departure time",
                                                     "Arrival Time", "Aircraft", "Airline", "Callsign",
                                                     "Flightrule", "Passengers", "Cargo", "Remarks", "Route",
                                                     "Flight time"};
    return headers;
}

void ListEntries(store::Connection& connection, const ListFilter& f,
                 const std::function<void(const std::vector<std::string>& cells)>& onRow)
{
    std::string sql = "SELECT logid, date, departure, destination, timeDeparture, timeArrival, nextday, aircraft, "
                      "airline, callsign, flightrule, pax, cargo, remarks, route, flighttime FROM tblLog WHERE 1";
    std::vector<std::string> params;
    auto where = [&](const char* clause, std::string value, int uses = 1) {
        sql += clause;
        for (int i = 0; i < uses; ++i)
            params.push_back(value);
    };
    if (!f.from.empty())
        where(" AND date >= ?", f.from);
    if (!f.to.empty())
        where(" AND date <= ?", f.to);
    if (!f.airport.empty())
        where(" AND (departure = ? COLLATE NOCASE OR destination = ? COLLATE NOCASE)", f.airport, 2);
    if (!f.aircraft.empty())
        where(" AND aircraft LIKE ? ESCAPE '\\'", likePattern(f.aircraft));
    if (!f.airline.empty())
        where(" AND airline LIKE ? ESCAPE '\\'", likePattern(f.airline));
    if (!f.callsign.empty())
        where(" AND callsign LIKE ? ESCAPE '\\'", likePattern(f.callsign));
    if (!f.rule.empty())
        where(" AND flightrule = ? COLLATE NOCASE", f.rule);
    if (!f.text.empty()) {
        sql += " AND (0";
        for (auto name : kFieldNames) {
            sql += std::string(" OR ") + std::string(name) + " LIKE ? ESCAPE '\\'";
            params.push_back(likePattern(f.text));
        }
        sql += ")";
    }
    sql += std::string(" ORDER BY ") + orderBy(f.sort);
    Statement s;
    prepare(connection, sql, s);
    for (std::size_t i = 0; i < params.size(); ++i)
        sqlite3_bind_text(s.st, static_cast<int>(i) + 1, params[i].c_str(), -1, SQLITE_TRANSIENT);

    std::vector<std::string> cells(ListHeaders().size());
    auto text = [&](int c) -> std::optional<std::string_view> {
        if (sqlite3_column_type(s.st, c) == SQLITE_NULL)
            return std::nullopt;
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s.st, c));
        return std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s.st, c)));
    };
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        // The overview's rules: every cell but the date tested for Null, the arrival time
        // marked when the flag is set, the cargo followed by its unit.
        cells[0] = text(0).value_or("");
        char buf[10];
        cells[1] = text(1) ? std::string(logbook::DayMonthYear(*text(1), buf)) : std::string();
        for (int c : {2, 3, 4})
            cells[static_cast<std::size_t>(c)] = text(c).value_or("");
        cells[5].clear();
        if (const auto arr = text(5)) {
            cells[5] = *arr;
            const auto flag = text(6);
            if (flag && store::Value::isTrueText(*flag))
                cells[5] += logbook::kNextDayMark;
        }
        for (int c : {7, 8, 9, 10, 11})
            cells[static_cast<std::size_t>(c - 1)] = text(c).value_or("");
        cells[11].clear();
        if (const auto cargo = text(12))
            cells[11].assign(*cargo).append(logbook::kCargoUnit);
        cells[12] = text(13).value_or("");
        cells[13] = text(14).value_or("");
        cells[14] = text(15).value_or("");
        onRow(cells);
    }
    if (rc != SQLITE_DONE)
        connection.fail(rc, "Cannot read the logbook");
}

std::int64_t CountEntries(store::Connection& connection)
{
    Statement s;
    prepare(connection, "SELECT count(*) FROM tblLog", s);
    return sqlite3_step(s.st) == SQLITE_ROW ? sqlite3_column_int64(s.st, 0) : 0;
}

std::int64_t ExportCsv(store::Connection& connection, std::FILE* out, const std::function<void(std::int64_t)>& progress)
{
    Statement s;
    prepare(connection, std::string("SELECT ") + std::string(kFieldList) + " FROM tblLog ORDER BY logid", s);
    CsvWriter w(out);
    for (auto name : kFieldNames)
        w.field(name);
    w.endRecord();
    std::int64_t rows = 0;
    char number[32];
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        for (int c = 0; c < FieldCount; ++c) {
            switch (sqlite3_column_type(s.st, c)) {
            case SQLITE_NULL:
                w.null();
                break;
            case SQLITE_INTEGER: {
                const auto end = std::to_chars(number, number + sizeof number, sqlite3_column_int64(s.st, c)).ptr;
                w.field(std::string_view(number, static_cast<std::size_t>(end - number)));
                break;
            }
            case SQLITE_FLOAT:
                w.field(store::Value::realText(sqlite3_column_double(s.st, c)));
                break;
            default:
                w.field(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(s.st, c)),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s.st, c))));
            }
        }
        w.endRecord();
        if (progress && (++rows & 0xffff) == 0)
            progress(rows);
        else if (!progress)
            ++rows;
    }
    if (rc != SQLITE_DONE)
        connection.fail(rc, "Cannot read the logbook");
    w.flush();
    return rows;
}

} // namespace wtlog
