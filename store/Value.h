#pragma once
// A field value as the recordset hands it out: Null, an integer, a real number or text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace store {

class Value {
public:
    Value() = default; // Null
    Value(std::int64_t i) : v_(i) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(bool b) : v_(static_cast<std::int64_t>(b ? 1 : 0)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(const char* s) : v_(std::string(s)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
    bool isReal() const { return std::holds_alternative<double>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }

    // The plain text form: text as stored, numbers in ordinary decimal notation, Null as "".
    std::string toText() const;
    // A real number as the program writes it: up to 15 significant digits, a period as the
    // decimal sign whatever the user's locale, no trailing zeros ("1.5", "2", "1e+20").
    static std::string realText(double d);
    // The real number realText(d) writes, so that what is stored is what was shown.
    static double shownReal(double d);
    // Yes/no reading: a non-zero number, or the texts "True"/"-1"/"1". Null is not true.
    bool isTrue() const;
    static bool isTrueText(std::string_view text);
    // Numbers only, a real cut toward zero; text that is not a whole number, and a real
    // beyond 64 bits or NaN, give 0.
    std::int64_t toInteger() const;
    // The whole number a text writes in decimal: an optional minus sign and ASCII digits,
    // nothing else (no blanks, no plus sign), within 64 bits; nullopt for any other text.
    static std::optional<std::int64_t> wholeNumber(std::string_view text);
    double real() const { return std::get<double>(v_); }
    const std::string& text() const { return std::get<std::string>(v_); }
    // Makes this a text value; a value that already holds text keeps its storage, which
    // spares a reader one allocation per field and record.
    void assignText(const char* data, std::size_t size)
    {
        if (auto* s = std::get_if<std::string>(&v_))
            s->assign(data, size);
        else
            v_.emplace<std::string>(data, size);
    }

    bool operator==(const Value&) const = default;

private:
    std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

} // namespace store
