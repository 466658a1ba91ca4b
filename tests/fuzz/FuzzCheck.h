#pragma once
// What every fuzz target shares: a broken promise stops the run with the input's story,
// so that libFuzzer saves the input as a crash.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond, what)                                                                     \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::fuzz::fail(__FILE__, __LINE__, #cond, what);                                         \
    } while (0)

namespace fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* cond, const std::string& what)
{
    std::fprintf(stderr, "%s:%d: broken promise: %s\n  %s\n", file, line, cond, what.c_str());
    std::abort();
}

// Printable form of arbitrary bytes for the messages above.
inline std::string shown(std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

} // namespace fuzz
