#include "logbook/Import.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "logbook/Csv.h"
#include "logbook/Fields.h"
#include "logbook/Logbook.h"
#include "logbook/Values.h"
#include "store/RuntimeError.h"
#include "store/Text.h"
#include "store/Value.h"

namespace wtlog {

namespace {

// Header names are compared by their letters and digits only, in lower case, so that
// "departure_ident", "Departure Ident" and "DepartureIdent" are one name.
std::string normalized(std::string_view header)
{
    std::string out;
    for (char c : header)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The names each field is known by in other programs' exports, most telling first. The
// flight planner writes UTC times of the simulator beside real local times: the former
// are the logbook's Zulu times.
const std::array<std::vector<std::string>, FieldCount>& synonyms()
{
    static const std::array<std::vector<std::string>, FieldCount> s = {{
        /* logid */ {"logid"},
        /* date */ {"date", "flightdate", "departuretimesim", "departuretime", "departuredatetime"},
        /* departure */ {"departure", "from", "departureident", "departureicao", "fromicao", "dep", "origin",
                         "departureairport"},
        /* timeDeparture */ {"timedeparture", "departuretimesim", "departuretime", "timeoff", "timeout", "offblock",
                             "takeofftime"},
        /* destination */ {"destination", "to", "destinationident", "destinationicao", "toicao", "dest",
                           "arrivalident", "arrivalairport"},
        /* timeArrival */ {"timearrival", "destinationtimesim", "destinationtime", "arrivaltime", "timeon", "timein",
                           "onblock", "landingtime"},
        /* nextday */ {"nextday"},
        /* flighttime */ {"flighttime", "totaltime", "duration", "blocktime", "totalflighttime"},
        /* aircraft */ {"aircraft", "aircrafttype", "type", "typecode", "aircraftname", "aircraftid", "model"},
        /* airline */ {"airline", "operator", "airlinename"},
        /* callsign */ {"callsign", "flightnumber", "aircraftregistration", "registration", "tailnumber"},
        /* flightrule */ {"flightrule", "flightrules", "rules", "rule"},
        /* pax */ {"pax", "passengers", "passengercount"},
        /* cargo */ {"cargo", "cargolbs", "cargoweight"},
        /* remarks */ {"remarks", "description", "comments", "comment", "notes", "note"},
        /* route */ {"route", "routestring", "routedescription"},
    }};
    return s;
}

struct Cell {
    bool null = true;
    bool isInt = false;
    std::int64_t number = 0;
    std::string text;
    void setNull() { null = true, isInt = false, text.clear(); }
    void setText(std::string_view t) { null = false, isInt = false, text.assign(t); }
    void setInt(std::int64_t n) { null = false, isInt = true, number = n, text = std::to_string(n); }
};

using Row = std::array<Cell, FieldCount>;

struct Plan {
    CsvFormat format = CsvFormat::Columns;
    std::size_t columns = 0;
    std::array<std::vector<std::size_t>, FieldCount> sources;  // file columns per field, by priority
    std::vector<std::string> header;
};

Plan makePlan(const CsvRecord& header, const std::string& path)
{
    Plan p;
    p.columns = header.size;
    for (std::size_t i = 0; i < header.size; ++i)
        p.header.push_back(header.fields[i].text);
    std::vector<std::string> names;
    for (const auto& h : p.header)
        names.push_back(normalized(h));
    auto find = [&](const std::string& name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return i;
        return std::nullopt;
    };
    bool own = true;
    for (auto field : kFieldNames) {
        bool found = false;
        for (const auto& h : p.header)
            found = found || store::EqualsNoCase(Trim(h), field);
        own = own && found;
    }
    if (own) {
        p.format = CsvFormat::Own;
        for (int f = 0; f < FieldCount; ++f)
            p.sources[f].push_back(*find(normalized(kFieldNames[f])));
        return p;
    }
    p.format = find("departureident") && find("destinationident") ? CsvFormat::Planner : CsvFormat::Columns;
    bool any = false;
    for (int f = 0; f < FieldCount; ++f)
        for (const auto& name : synonyms()[f])
            if (auto c = find(name)) {
                p.sources[f].push_back(*c);
                any = true;
            }
    if (!any)
        throw Refused(path + ": line 1: no column of the header names a field of the logbook (expected names such "
                             "as date, departure, destination, or Date, From, To, TotalTime, Aircraft, Remarks)");
    return p;
}

struct Converter {
    const Plan& plan;
    const std::string& path;

    // Converts one record into `row`; returns the refusal, if any.
    std::optional<RowRefusal> operator()(const CsvRecord& r, Row& row) const
    {
        if (r.size != plan.columns)
            return RowRefusal{r.line, "", "",
                              "the row has " + std::to_string(r.size) + " fields, the header has "
                                  + std::to_string(plan.columns)};
        return plan.format == CsvFormat::Own ? own(r, row) : mapped(r, row);
    }

    std::optional<RowRefusal> own(const CsvRecord& r, Row& row) const
    {
        for (int f = 0; f < FieldCount; ++f) {
            const std::size_t c = plan.sources[f][0];
            const CsvField& v = r.fields[c];
            Cell& cell = row[f];
            if (v.null) {
                cell.setNull();
                continue;
            }
            auto refuse = [&](const char* why) {
                return RowRefusal{r.line, plan.header[c], v.text, why};
            };
            switch (f) {
            case LogId:
            case Pax:
            case Cargo:
                if (auto n = store::Value::wholeNumber(v.text); n && (f != LogId || *n > 0))
                    cell.setInt(*n);
                else
                    return refuse(f == LogId ? "is not an entry number (a whole number above 0)"
                                             : "is not a whole number");
                break;
            case NextDay:
                if (v.text == "0" || v.text == "1")
                    cell.setInt(v.text == "1");
                else
                    return refuse("is not 0 or 1");
                break;
            case Date:
                if (!IsIsoDate(v.text))
                    return refuse("is not a date (YYYY-MM-DD)");
                cell.setText(v.text);
                break;
            default:
                cell.setText(v.text);
            }
        }
        return std::nullopt;
    }

    std::optional<RowRefusal> mapped(const CsvRecord& r, Row& row) const
    {
        std::optional<DateTime> depAt, arrAt;
        bool anything = false;
        for (int f = 0; f < FieldCount; ++f) {
            Cell& cell = row[f];
            cell.setNull();
            std::optional<std::size_t> from;
            std::string value;
            for (std::size_t c : plan.sources[f]) {
                std::string t = Trim(r.fields[c].text);
                if (!t.empty()) {
                    from = c;
                    value = f == Remarks || f == Route ? r.fields[c].text : std::move(t);
                    break;
                }
            }
            if (!from)
                continue;
            anything = true;
            auto refuse = [&](std::string why) { return RowRefusal{r.line, plan.header[*from], value, why}; };
            switch (f) {
            case LogId:
                // Another program's numbers mean nothing here: every entry gets a new one.
                cell.setNull();
                break;
            case Date:
                if (auto d = ParseDate(value))
                    cell.setText(*d);
                else
                    return refuse("is not a date (YYYY-MM-DD, DD.MM.YYYY or an ISO date-time)");
                break;
            case TimeDeparture:
            case TimeArrival:
                if (auto dt = ParseDateTime(value)) {
                    cell.setText(dt->clock);
                    (f == TimeDeparture ? depAt : arrAt) = dt;
                } else if (auto clock = ParseClock(value)) {
                    cell.setText(*clock);
                } else {
                    return refuse("is not a time (HH:MM or an ISO date-time)");
                }
                break;
            case NextDay:
                if (auto yes = YesNo(value))
                    cell.setInt(*yes);
                else
                    return refuse("is not yes or no");
                break;
            case FlightTime:
                if (!DurationHours(value))
                    return refuse("is not a duration (hours as 1.5 or 1,5, or hours and minutes as 1:30)");
                cell.setText(value);
                break;
            case Pax:
            case Cargo:
                if (auto n = Count(value))
                    cell.setInt(*n);
                else
                    return refuse("is not a whole number");
                break;
            default:
                cell.setText(value);
            }
        }
        if (!anything)
            return RowRefusal{r.line, "", "", "the row is empty"};
        // What the two date-times tell that the other program did not write down.
        if (depAt && arrAt) {
            const long minutes = (arrAt->day - depAt->day) * 1440 + arrAt->minutes - depAt->minutes;
            if (minutes < 0)
                return RowRefusal{r.line, "", "", "the arrival is before the departure"};
            if (row[NextDay].null)
                row[NextDay].setInt(arrAt->day > depAt->day);
            if (row[FlightTime].null) {
                char buf[48];
                std::snprintf(buf, sizeof buf, "%ld:%02ld", minutes / 60, minutes % 60);
                row[FlightTime].setText(buf);
            }
        } else if (row[NextDay].null && !row[TimeDeparture].null && !row[TimeArrival].null) {
            row[NextDay].setInt(row[TimeArrival].text < row[TimeDeparture].text);
        }
        return std::nullopt;
    }
};

std::string duplicateKey(const Cell& date, const Cell& dep, const Cell& dest, const Cell& time)
{
    std::string k;
    for (const Cell* c : {&date, &dep, &dest, &time}) {
        k += c->null ? std::string("\x1e") : c->text;
        k += '\x1f';
    }
    return k;
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

std::optional<std::string> columnText(sqlite3_stmt* st, int c)
{
    if (sqlite3_column_type(st, c) == SQLITE_NULL)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                       static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
}

} // namespace

const char* FormatName(CsvFormat format)
{
    switch (format) {
    case CsvFormat::Own:
        return "this logbook's own CSV";
    case CsvFormat::Planner:
        return "a flight planner's logbook export";
    default:
        return "a logbook export, read by its column names";
    }
}

ImportReport ImportCsv(store::Connection& connection, const std::string& path, const ImportOptions& options)
{
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    ImportReport report;
    std::optional<Plan> plan;
    auto progress = [&](bool writing) {
        return [&, writing](std::uint64_t bytes) {
            if (options.progress)
                options.progress(bytes, ec ? 0 : size, writing);
        };
    };

    // What the logbook holds already: the keys duplicates are judged by, and the numbers taken.
    std::unordered_map<std::string, std::int64_t> existing;
    std::unordered_set<std::int64_t> taken;
    {
        Statement s;
        int rc = sqlite3_prepare_v2(connection.handle(),
                                    "SELECT logid, date, departure, destination, timeDeparture FROM tblLog", -1, &s.st,
                                    nullptr);
        if (rc != SQLITE_OK)
            connection.fail(rc, "Cannot read the logbook");
        Row key;
        while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
            const std::int64_t id = sqlite3_column_int64(s.st, 0);
            taken.insert(id);
            for (int i = 0; i < 4; ++i) {
                const auto t = columnText(s.st, i + 1);
                t ? key[i].setText(*t) : key[i].setNull();
            }
            existing.emplace(duplicateKey(key[0], key[1], key[2], key[3]), id);
        }
        if (rc != SQLITE_DONE)
            connection.fail(rc, "Cannot read the logbook");
    }

    auto read = [&](const std::function<void(const CsvRecord&, const Converter&)>& onRow, bool writing) {
        bool header = true;
        try {
            ReadCsv(
                path,
                [&](const CsvRecord& r) {
                    if (header) {
                        if (!plan)
                            plan = makePlan(r, path);
                        header = false;
                        return true;
                    }
                    onRow(r, Converter{*plan, path});
                    return true;
                },
                progress(writing));
        } catch (const CsvError& e) {
            throw Refused(path + ": line " + std::to_string(e.line()) + ": " + e.what());
        } catch (const Refused&) {
            throw;
        } catch (const store::RuntimeError&) {
            throw;
        } catch (const std::runtime_error& e) {
            throw Refused(e.what());
        }
        if (header)
            throw Refused(path + ": the file is empty: it has no header line");
    };

    // First pass: judge every row.
    std::unordered_set<std::int64_t> numbers;
    bool numbersFree = true;
    Row row;
    read(
        [&](const CsvRecord& r, const Converter& convert) {
            ++report.rows;
            if (auto refusal = convert(r, row)) {
                if (report.refused.size() < ImportReport::kListed)
                    report.refused.push_back(std::move(*refusal));
                ++report.refusedCount;
                return;
            }
            if (auto it = existing.find(duplicateKey(row[Date], row[Departure], row[Destination], row[TimeDeparture]));
                it != existing.end()) {
                if (report.duplicates.size() < ImportReport::kListed)
                    report.duplicates.push_back(
                        {r.line, it->second,
                         (row[Date].null ? "no date" : row[Date].text) + " " + row[Departure].text + " - "
                             + row[Destination].text + " " + row[TimeDeparture].text});
                ++report.duplicateCount;
            }
            if (!row[LogId].null && (taken.count(row[LogId].number) || !numbers.insert(row[LogId].number).second))
                numbersFree = false;
        },
        false);
    for (std::size_t c = 0; c < plan->columns; ++c) {
        std::string takenBy;
        for (int f = 0; f < FieldCount; ++f)
            for (std::size_t s : plan->sources[f])
                if (s == c)
                    takenBy += (takenBy.empty() ? "" : ", ") + std::string(kFieldNames[f]);
        if (takenBy.empty())
            report.ignored.push_back(plan->header[c]);
        else if (plan->format != CsvFormat::Own)
            report.used.push_back(plan->header[c] + " -> " + takenBy);
    }
    report.format = plan->format;
    report.keepsNumbers = plan->format == CsvFormat::Own && numbersFree;
    if (options.dryRun || report.refusedCount > 0 || (report.duplicateCount > 0 && !options.allowDuplicates)
        || report.rows == 0)
        return report;

    // Second pass: every row is good; all of them in one transaction.
    sqlite3* db = connection.handle();
    store::Connection::WriteTransaction transaction(connection);
    Statement insert;
    const std::string sql = "INSERT INTO tblLog (" + std::string(kFieldList)
        + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &insert.st, nullptr);
    if (rc != SQLITE_OK)
        connection.fail(rc, "Cannot file the entries");
    read(
        [&](const CsvRecord& r, const Converter& convert) {
            if (auto refusal = convert(r, row))
                throw Refused(path + ": line " + std::to_string(r.line) + ": the file changed while it was read");
            for (int f = 0; f < FieldCount; ++f) {
                const Cell& c = row[f];
                if (c.null || (f == LogId && !report.keepsNumbers))
                    sqlite3_bind_null(insert.st, f + 1);
                else if (c.isInt)
                    sqlite3_bind_int64(insert.st, f + 1, c.number);
                else
                    sqlite3_bind_text(insert.st, f + 1, c.text.data(), static_cast<int>(c.text.size()), SQLITE_STATIC);
            }
            const int step = sqlite3_step(insert.st);
            sqlite3_reset(insert.st);
            if (step != SQLITE_DONE) {
                try {
                    connection.fail(step, "Cannot file the entry");
                } catch (const store::RuntimeError& e) {
                    throw Refused(path + ": line " + std::to_string(r.line) + ": " + e.what());
                }
            }
        },
        true);
    transaction.commit();
    report.written = true;
    return report;
}

} // namespace wtlog
