#pragma once
// Reading the values a logbook holds or a CSV file brings: dates, clock times, durations
// and counts. Nothing here guesses: a text that is not clearly one of these gives nullopt.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wtlog {

// A real calendar date written YYYY-MM-DD.
bool IsIsoDate(std::string_view text);
// A date as exports write it: YYYY-MM-DD, YYYY/MM/DD, DD.MM.YYYY or DD-MM-YYYY (as the
// overview shows it), or the date of an ISO date-time; as YYYY-MM-DD.
std::optional<std::string> ParseDate(std::string_view text);

// Minutes after midnight of a clock time "H:MM" or "HH:MM" (seconds ":SS" allowed and dropped).
std::optional<int> ClockMinutes(std::string_view text);
// A clock time as the entry form takes it: "HH:MM" from "H:MM", "HH:MM:SS" or "HHMM".
std::optional<std::string> ParseClock(std::string_view text);

// An ISO date-time "YYYY-MM-DDTHH:MM[:SS[.fff]][Z|+hh:mm|-hh:mm]" (a blank instead of the T
// is taken too), in UTC: its date and its "HH:MM".
struct DateTime {
    std::string date;
    std::string clock;
    long day = 0;  // days since 1970-01-01
    int minutes = 0;
};
std::optional<DateTime> ParseDateTime(std::string_view text);

// A duration in hours: decimal hours with "." or "," ("1.5", "1,5", "2") or hours and
// minutes "H:MM" ("1:30").
std::optional<double> DurationHours(std::string_view text);

// A count as pax and cargo hold it: ASCII digits only.
std::optional<std::int64_t> Count(std::string_view text);

// A yes/no cell: 1/0, True/False, Yes/No, Y/N (any case).
std::optional<bool> YesNo(std::string_view text);

// Days since 1970-01-01 of a valid YYYY-MM-DD, and back.
long DaysFromIso(std::string_view iso);
std::string IsoFromDays(long days);

std::string Trim(std::string_view text);

} // namespace wtlog
