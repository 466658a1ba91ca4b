#pragma once
// How the overview shows a stored value, for every reader that shows entries as the
// overview does (the overview's list, the companion program's listings).
#include <algorithm>
#include <iterator>
#include <string_view>

namespace logbook {

// Appended to the arrival time of an entry whose arrival falls on the next day.
inline constexpr std::string_view kNextDayMark = "+1";
// Appended to the cargo figure.
inline constexpr std::string_view kCargoUnit = " lbs";

// "YYYY-MM-DD", as the logbook stores a date, becomes "DD-MM-YYYY" in `out`. Anything else
// (a file written by another program) is shown as it is rather than as a made-up date.
inline std::string_view DayMonthYear(std::string_view iso, char (&out)[10])
{
    auto digits = [&](std::size_t from, std::size_t n) {
        for (std::size_t i = from; i < from + n; ++i)
            if (iso[i] < '0' || iso[i] > '9')
                return false;
        return true;
    };
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-' || !digits(0, 4) || !digits(5, 2) || !digits(8, 2))
        return iso;
    const char formatted[10] = {iso[8], iso[9], '-', iso[5], iso[6], '-', iso[0], iso[1], iso[2], iso[3]};
    std::copy(std::begin(formatted), std::end(formatted), out);
    return std::string_view(out, 10);
}

} // namespace logbook
