#include "logbook/Values.h"

#include <cctype>
#include <charconv>
#include <cstdio>

#include "store/Text.h"

namespace wtlog {

namespace {

bool digitsAt(std::string_view s, std::size_t from, std::size_t n)
{
    if (from + n > s.size())
        return false;
    for (std::size_t i = from; i < from + n; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int number(std::string_view s, std::size_t from, std::size_t n)
{
    int v = 0;
    for (std::size_t i = from; i < from + n; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

bool validDate(int y, int m, int d)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

std::string iso(int y, int m, int d)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

// Days since 1970-01-01 (Howard Hinnant's civil calendar algorithms).
long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

std::string Trim(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

bool IsIsoDate(std::string_view s)
{
    return s.size() == 10 && s[4] == '-' && s[7] == '-' && digitsAt(s, 0, 4) && digitsAt(s, 5, 2)
        && digitsAt(s, 8, 2) && validDate(number(s, 0, 4), number(s, 5, 2), number(s, 8, 2));
}

long DaysFromIso(std::string_view s) { return daysFromCivil(number(s, 0, 4), number(s, 5, 2), number(s, 8, 2)); }

std::string IsoFromDays(long z)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return iso(static_cast<int>(yoe + era * 400 + (m <= 2)), m, d);
}

std::optional<std::string> ParseDate(std::string_view text)
{
    const std::string s = Trim(text);
    if (s.size() > 10) {
        if (auto dt = ParseDateTime(s))
            return dt->date;
        return std::nullopt;
    }
    if (s.size() != 10)
        return std::nullopt;
    int y = 0, m = 0, d = 0;
    if ((s[4] == '-' || s[4] == '/') && s[7] == s[4] && digitsAt(s, 0, 4) && digitsAt(s, 5, 2) && digitsAt(s, 8, 2)) {
        y = number(s, 0, 4), m = number(s, 5, 2), d = number(s, 8, 2);
    } else if ((s[2] == '.' || s[2] == '-') && s[5] == s[2] && digitsAt(s, 0, 2) && digitsAt(s, 3, 2)
               && digitsAt(s, 6, 4)) {
        d = number(s, 0, 2), m = number(s, 3, 2), y = number(s, 6, 4);
    } else {
        return std::nullopt;
    }
    if (!validDate(y, m, d))
        return std::nullopt;
    return iso(y, m, d);
}

std::optional<int> ClockMinutes(std::string_view s)
{
    const auto colon = s.find(':');
    if (colon != 1 && colon != 2)
        return std::nullopt;
    if (!digitsAt(s, 0, colon) || !digitsAt(s, colon + 1, 2))
        return std::nullopt;
    const std::size_t end = colon + 3;
    if (end != s.size() && !(end + 3 == s.size() && s[end] == ':' && digitsAt(s, end + 1, 2)))
        return std::nullopt;
    const int h = number(s, 0, colon), m = number(s, colon + 1, 2);
    if (h > 23 || m > 59)
        return std::nullopt;
    return h * 60 + m;
}

std::optional<std::string> ParseClock(std::string_view text)
{
    const std::string s = Trim(text);
    std::optional<int> minutes;
    if (s.size() == 4 && digitsAt(s, 0, 4)) {
        const int h = number(s, 0, 2), m = number(s, 2, 2);
        if (h <= 23 && m <= 59)
            minutes = h * 60 + m;
    } else {
        minutes = ClockMinutes(s);
    }
    if (!minutes)
        return std::nullopt;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", *minutes / 60, *minutes % 60);
    return std::string(buf);
}

std::optional<DateTime> ParseDateTime(std::string_view text)
{
    const std::string s = Trim(text);
    if (s.size() < 16 || !IsIsoDate(std::string_view(s).substr(0, 10)) || (s[10] != 'T' && s[10] != ' '))
        return std::nullopt;
    if (!digitsAt(s, 11, 2) || s[13] != ':' || !digitsAt(s, 14, 2))
        return std::nullopt;
    int minutes = number(s, 11, 2) * 60 + number(s, 14, 2);
    if (number(s, 11, 2) > 23 || number(s, 14, 2) > 59)
        return std::nullopt;
    std::size_t i = 16;
    if (i < s.size() && s[i] == ':') {
        if (!digitsAt(s, i + 1, 2))
            return std::nullopt;
        i += 3;
        if (i < s.size() && s[i] == '.') {
            ++i;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
    }
    if (i < s.size()) {
        if (s[i] == 'Z' && i + 1 == s.size()) {
        } else if ((s[i] == '+' || s[i] == '-') && digitsAt(s, i + 1, 2)
                   && ((i + 6 == s.size() && s[i + 3] == ':' && digitsAt(s, i + 4, 2))
                       || (i + 5 == s.size() && digitsAt(s, i + 3, 2)))) {
            const int offset = number(s, i + 1, 2) * 60 + number(s, s.size() - 2, 2);
            minutes += s[i] == '+' ? -offset : offset;
        } else {
            return std::nullopt;
        }
    }
    DateTime out;
    out.day = DaysFromIso(std::string_view(s).substr(0, 10));
    while (minutes < 0)
        minutes += 1440, --out.day;
    while (minutes >= 1440)
        minutes -= 1440, ++out.day;
    out.minutes = minutes;
    out.date = IsoFromDays(out.day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", minutes / 60, minutes % 60);
    out.clock = buf;
    return out;
}

std::optional<double> DurationHours(std::string_view s)
{
    if (s.empty())
        return std::nullopt;
    if (const auto colon = s.find(':'); colon != std::string_view::npos) {
        if (colon == 0 || colon > 3 || !digitsAt(s, 0, colon) || s.size() != colon + 3 || !digitsAt(s, colon + 1, 2))
            return std::nullopt;
        const int m = number(s, colon + 1, 2);
        if (m > 59)
            return std::nullopt;
        return number(s, 0, colon) + m / 60.0;
    }
    const auto sep = s.find_first_of(".,");
    const std::string_view whole = s.substr(0, sep);
    const std::string_view frac = sep == std::string_view::npos ? std::string_view() : s.substr(sep + 1);
    if ((whole.empty() && frac.empty()) || whole.size() > 6 || frac.size() > 6 || !digitsAt(whole, 0, whole.size())
        || !digitsAt(frac, 0, frac.size()) || (sep != std::string_view::npos && frac.empty()))
        return std::nullopt;
    double v = whole.empty() ? 0 : number(whole, 0, whole.size());
    double scale = 0.1;
    for (char c : frac) {
        v += (c - '0') * scale;
        scale /= 10;
    }
    return v;
}

std::optional<std::int64_t> Count(std::string_view s)
{
    if (s.empty() || s.size() > 18 || !digitsAt(s, 0, s.size()))
        return std::nullopt;
    std::int64_t v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::optional<bool> YesNo(std::string_view text)
{
    const std::string s = Trim(text);
    for (const char* yes : {"1", "true", "yes", "y", "-1"})
        if (store::EqualsNoCase(s, yes))
            return true;
    for (const char* no : {"0", "false", "no", "n"})
        if (store::EqualsNoCase(s, no))
            return false;
    return std::nullopt;
}

} // namespace wtlog
