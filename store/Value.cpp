#include "store/Value.h"

#include <charconv>
#include <system_error>

namespace store {

std::string Value::toText() const
{
    if (isNull())
        return {};
    if (isInteger())
        return std::to_string(std::get<std::int64_t>(v_));
    if (isReal())
        return realText(std::get<double>(v_));
    return text();
}

// std::to_chars and std::from_chars ignore the C library's locale, which Qt sets from the
// user's environment: printf and strtod would write and read "1,5" under a German one.
std::string Value::realText(double d)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

double Value::shownReal(double d)
{
    const std::string s = realText(d);
    double out = d;
    std::from_chars(s.data(), s.data() + s.size(), out);
    return out;
}

bool Value::isTrue() const
{
    if (isInteger())
        return std::get<std::int64_t>(v_) != 0;
    if (isReal())
        return std::get<double>(v_) != 0.0;
    if (isText())
        return isTrueText(text());
    return false;
}

bool Value::isTrueText(std::string_view t)
{
    return t == "True" || t == "true" || t == "-1" || t == "1";
}

std::int64_t Value::toInteger() const
{
    if (isInteger())
        return std::get<std::int64_t>(v_);
    if (isReal()) {
        // Cut toward zero; a real beyond what 64 bits hold, or not a number at all, has no
        // whole number to give (converting it would be undefined, not merely wrong).
        const double d = std::get<double>(v_);
        if (!(d >= -0x1p63 && d < 0x1p63))
            return 0;
        return static_cast<std::int64_t>(d);
    }
    if (isText())
        return wholeNumber(text()).value_or(0);
    return 0;
}

std::optional<std::int64_t> Value::wholeNumber(std::string_view t)
{
    std::int64_t out = 0;
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    if (t.empty() || ec != std::errc() || p != t.data() + t.size())
        return std::nullopt;
    return out;
}

} // namespace store
