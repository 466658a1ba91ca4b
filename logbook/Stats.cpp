#include "logbook/Stats.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "logbook/Values.h"
#include "store/Value.h"

namespace wtlog {

namespace {

constexpr std::string_view kGroupNames[] = {"year", "month", "aircraft", "airline", "rule", "route",
                                            "departure", "destination"};

std::optional<std::string_view> textOf(sqlite3_stmt* st, int c)
{
    if (sqlite3_column_type(st, c) == SQLITE_NULL)
        return std::nullopt;
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
    return std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
}

// pax and cargo: Null counts as none; a stored whole number, or digits, as themselves.
bool countOf(sqlite3_stmt* st, int c, std::int64_t& out)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_NULL:
        out = 0;
        return true;
    case SQLITE_INTEGER:
        out = sqlite3_column_int64(st, c);
        return out >= 0;
    case SQLITE_TEXT:
        if (auto v = Count(*textOf(st, c))) {
            out = *v;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool isTrue(sqlite3_stmt* st, int c)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(st, c) != 0;
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, c) != 0;
    case SQLITE_TEXT:
        return store::Value::isTrueText(*textOf(st, c));
    default:
        return false;
    }
}

} // namespace

std::optional<GroupBy> ParseGroupBy(std::string_view word)
{
    for (std::size_t i = 0; i < std::size(kGroupNames); ++i)
        if (word == kGroupNames[i])
            return static_cast<GroupBy>(i);
    return std::nullopt;
}

std::string_view GroupName(GroupBy by) { return kGroupNames[static_cast<int>(by)]; }

EntryHours HoursOf(std::optional<std::string_view> flighttime, std::optional<std::string_view> timeDeparture,
                   std::optional<std::string_view> timeArrival, bool nextday)
{
    if (flighttime && !flighttime->empty()) {
        if (auto h = DurationHours(*flighttime))
            return {*h, nullptr};
        return {0, "flight time is not a duration"};
    }
    if (!timeDeparture || !timeArrival || timeDeparture->empty() || timeArrival->empty())
        return {0, "no flight time, and no departure and arrival time to count it from"};
    const auto dep = ClockMinutes(*timeDeparture);
    const auto arr = ClockMinutes(*timeArrival);
    if (!dep || !arr)
        return {0, "no flight time, and a departure or arrival time that is not a time"};
    const int minutes = *arr - *dep + (nextday ? 1440 : 0);
    if (minutes < 0)
        return {0, "no flight time, and the arrival is before the departure without the next-day mark"};
    return {minutes / 60.0, nullptr};
}

Stats ComputeStats(store::Connection& connection, const StatsQuery& query)
{
    // The columns every sum needs, then one per grouping that reads a field of its own.
    std::string sql = "SELECT logid, date, flighttime, timeDeparture, timeArrival, nextday, pax, cargo";
    std::vector<int> groupColumn;
    int next = 8;
    for (GroupBy by : query.groupBy) {
        switch (by) {
        case GroupBy::Year:
        case GroupBy::Month:
            groupColumn.push_back(1);
            break;
        case GroupBy::Route:
            sql += ", departure, destination";
            groupColumn.push_back(next);
            next += 2;
            break;
        default: {
            static constexpr const char* kField[] = {"", "", "aircraft", "airline", "flightrule", "",
                                                     "departure", "destination"};
            sql += std::string(", ") + kField[static_cast<int>(by)];
            groupColumn.push_back(next++);
        }
        }
    }
    sql += " FROM tblLog";
    sqlite3* db = connection.handle();
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    if (rc != SQLITE_OK)
        connection.fail(rc, "Cannot read the logbook");
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};

    Stats out;
    std::vector<std::unordered_map<std::string, Sums>> maps(query.groupBy.size());
    std::vector<std::unordered_map<int, Sums>> calendar(query.groupBy.size());
    std::string key;
    std::int64_t rows = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (query.progress && (++rows & 0xffff) == 0)
            query.progress(rows);
        const auto date = textOf(st, 1);
        Sums one;
        one.flights = 1;
        const char* problem = nullptr;
        if (!date || !IsIsoDate(*date))
            problem = date ? "the date is not a date" : "no date";
        if (!problem) {
            if ((!query.from.empty() && *date < query.from) || (!query.to.empty() && *date > query.to))
                continue;
            const EntryHours h = HoursOf(textOf(st, 2), textOf(st, 3), textOf(st, 4), isTrue(st, 5));
            problem = h.problem;
            one.hours = h.hours;
        }
        if (!problem && !countOf(st, 6, one.pax))
            problem = "the passengers are not a number";
        if (!problem && !countOf(st, 7, one.cargo))
            problem = "the cargo is not a number";
        if (problem) {
            ++out.problemCount;
            if (query.listProblems)
                out.problems.push_back({sqlite3_column_int64(st, 0), problem});
            continue;
        }
        out.total.add(one);
        if (out.firstDate.empty() || *date < out.firstDate)
            out.firstDate = *date;
        if (out.lastDate.empty() || *date > out.lastDate)
            out.lastDate = *date;
        for (std::size_t g = 0; g < query.groupBy.size(); ++g) {
            const int c = groupColumn[g];
            switch (query.groupBy[g]) {
            case GroupBy::Year:
            case GroupBy::Month: {
                // By number, not by text: a valid date's digits make the key without a string.
                const auto& d = *date;
                int k = (d[0] - '0') * 1000 + (d[1] - '0') * 100 + (d[2] - '0') * 10 + (d[3] - '0');
                if (query.groupBy[g] == GroupBy::Month)
                    k = k * 100 + (d[5] - '0') * 10 + (d[6] - '0');
                calendar[g][k].add(one);
                continue;
            }
            case GroupBy::Route: {
                const auto from = textOf(st, c), to = textOf(st, c + 1);
                key.assign(from && !from->empty() ? *from : "?").append(" - ").append(to && !to->empty() ? *to : "?");
                break;
            }
            default: {
                const auto v = textOf(st, c);
                key.assign(v && !v->empty() ? *v : "(none)");
            }
            }
            auto it = maps[g].find(key);
            if (it == maps[g].end())
                it = maps[g].emplace(key, Sums{}).first;
            it->second.add(one);
        }
    }
    if (rc != SQLITE_DONE)
        connection.fail(rc, "Cannot read the logbook");

    for (std::size_t g = 0; g < query.groupBy.size(); ++g) {
        Grouping grouping{query.groupBy[g], {}};
        for (const auto& [k, sums] : calendar[g]) {
            char text[16];
            if (query.groupBy[g] == GroupBy::Month)
                std::snprintf(text, sizeof text, "%04d-%02d", k / 100, k % 100);
            else
                std::snprintf(text, sizeof text, "%04d", k);
            maps[g].emplace(text, sums);
        }
        grouping.groups.reserve(maps[g].size());
        for (auto& [k, s] : maps[g])
            grouping.groups.push_back({k, s});
        const bool calendar = query.groupBy[g] == GroupBy::Year || query.groupBy[g] == GroupBy::Month;
        std::sort(grouping.groups.begin(), grouping.groups.end(), [calendar](const Group& a, const Group& b) {
            if (calendar)
                return a.key < b.key;
            if (a.sums.hours != b.sums.hours)
                return a.sums.hours > b.sums.hours;
            if (a.sums.flights != b.sums.flights)
                return a.sums.flights > b.sums.flights;
            return a.key < b.key;
        });
        out.groupings.push_back(std::move(grouping));
    }
    return out;
}

} // namespace wtlog
