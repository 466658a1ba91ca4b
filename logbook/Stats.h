#pragma once
// Totals of the logbook: flights, hours, passengers and cargo, in all and per group, read
// in one pass over the table. Hours come from the flight time, or where that is empty
// from the two clock times and the next-day flag. An entry with a value that cannot be
// read is counted apart with the reason, and left out of the sums: nothing is guessed.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/Connection.h"

namespace wtlog {

enum class GroupBy { Year, Month, Aircraft, Airline, Rule, Route, Departure, Destination };
// "year", "month", ... as the command line names them; nullopt for another word.
std::optional<GroupBy> ParseGroupBy(std::string_view word);
std::string_view GroupName(GroupBy by);

struct Sums {
    std::int64_t flights = 0;
    double hours = 0;
    std::int64_t pax = 0;
    std::int64_t cargo = 0;
    void add(const Sums& o)
    {
        flights += o.flights, hours += o.hours, pax += o.pax, cargo += o.cargo;
    }
};

struct Group {
    std::string key;  // "(none)" for entries without a value
    Sums sums;
};

struct Grouping {
    GroupBy by;
    // Year and month in calendar order; the others by hours, most first.
    std::vector<Group> groups;
};

struct EntryProblem {
    std::int64_t logid;
    std::string reason;
};

struct Stats {
    Sums total;
    std::string firstDate, lastDate;  // of the entries summed; empty when there are none
    std::vector<Grouping> groupings;  // in the order asked for
    std::int64_t problemCount = 0;
    std::vector<EntryProblem> problems;  // filled only when asked for
};

struct StatsQuery {
    std::string from, to;  // YYYY-MM-DD, inclusive; empty: open
    std::vector<GroupBy> groupBy;
    bool listProblems = false;
    std::function<void(std::int64_t rows)> progress;  // told now and then
};

Stats ComputeStats(store::Connection& connection, const StatsQuery& query);

// The hours of one entry, or why they cannot be read.
struct EntryHours {
    double hours = 0;
    const char* problem = nullptr;
};
EntryHours HoursOf(std::optional<std::string_view> flighttime, std::optional<std::string_view> timeDeparture,
                   std::optional<std::string_view> timeArrival, bool nextday);

} // namespace wtlog
