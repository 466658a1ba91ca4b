#include "store/Value.h"

#include <charconv>
#include <cstdio>

namespace store {

std::string Value::toText() const
{
    if (isNull())
        return {};
    if (isInteger())
        return std::to_string(std::get<std::int64_t>(v_));
    if (isReal()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v_));
        return buf;
    }
    return text();
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
    if (isReal())
        return static_cast<std::int64_t>(std::get<double>(v_));
    if (isText()) {
        std::int64_t out = 0;
        const auto& s = text();
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        if (ec == std::errc() && p == s.data() + s.size())
            return out;
    }
    return 0;
}

} // namespace store
