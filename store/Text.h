#pragma once
// Names in the store (connection-string keys, field names) match without regard to case.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace store {

// A name as SQL (or a connection string) quotes it: in double quotes, a quote inside doubled.
inline std::string QuotedName(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

inline bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace store
