// Arbitrary values through the store's conversions: the text a real number is shown as,
// whole numbers from text and reals, fitting a value to its column's declared type, and
// binding a value to a statement and reading it back from the engine.
#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "FuzzCheck.h"
#include "store/Conversion.h"
#include "store/RuntimeError.h"
#include "store/Value.h"

using store::Value;

namespace {

sqlite3* gDb = nullptr;
sqlite3_stmt* gEcho = nullptr;

// The whole number a text spells in full, as the program reads numbers in every locale.
std::optional<std::int64_t> wholeNumber(const std::string& s)
{
    std::int64_t n = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return n;
}

bool sameReal(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// Equal values, a NaN being the same as itself.
bool same(const Value& a, const Value& b)
{
    return a.isReal() && b.isReal() ? sameReal(a.real(), b.real()) : a == b;
}

Value makeValue(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return {};
    case 1:
        return Value(in.ConsumeIntegral<std::int64_t>());
    case 2: {
        // Every bit pattern: NaNs, infinities, subnormals, negative zero.
        const auto bits = in.ConsumeIntegral<std::uint64_t>();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return Value(d);
    }
    default:
        return Value(in.ConsumeRandomLengthString(64));
    }
}

void checkRealText(double d)
{
    const std::string s = Value::realText(d);
    FUZZ_CHECK(!s.empty(), "no text for a real");
    FUZZ_CHECK(s.find(',') == std::string::npos, "a comma in " + s);
    const double shown = Value::shownReal(d);
    // What is stored is what was shown, and showing it again changes nothing.
    FUZZ_CHECK(Value::realText(shown) == s, s + " read back as " + Value::realText(shown));
    FUZZ_CHECK(sameReal(Value::shownReal(shown), shown), "shownReal is not settled for " + s);
    if (std::isfinite(d))
        FUZZ_CHECK(std::isfinite(shown) && std::fabs(shown - d) <= std::fabs(d) * 1e-14, s + " is far from the real");
}

void checkToInteger(const Value& v)
{
    const std::int64_t n = v.toInteger();
    if (v.isInteger()) {
        FUZZ_CHECK(Value(n) == v, "an integer changed");
    } else if (v.isReal()) {
        const double d = v.real();
        // A real that a whole number of 64 bits can hold is cut to it; any other gives 0.
        if (d >= -0x1p63 && d < 0x1p63)
            FUZZ_CHECK(n == static_cast<std::int64_t>(std::trunc(d)), "real " + Value::realText(d) + " gave " + std::to_string(n));
        else
            FUZZ_CHECK(n == 0, "real " + Value::realText(d) + " gave " + std::to_string(n));
    } else if (v.isText()) {
        FUZZ_CHECK(n == wholeNumber(v.text()).value_or(0), "text " + fuzz::shown(v.text()) + " gave " + std::to_string(n));
    } else {
        FUZZ_CHECK(n == 0, "Null gave " + std::to_string(n));
    }
}

void checkFit(const Value& v, const std::string& decl)
{
    const bool isBool = decl.find("BOOL") != std::string::npos;
    const bool isInt = !isBool && decl.find("INT") != std::string::npos;
    try {
        const Value fitted = store::FitToColumn(v, decl, "pax");
        if (!isBool && !isInt) {
            FUZZ_CHECK(same(fitted, v), decl + " changed the value " + fuzz::shown(v.toText()));
            return;
        }
        FUZZ_CHECK(fitted.isNull() || fitted.isInteger(), decl + " gave a value that is not a number");
        if (isBool)
            FUZZ_CHECK(fitted.isNull() || fitted.toInteger() == 0 || fitted.toInteger() == 1, "yes/no gave another number");
        if (v.isNull())
            FUZZ_CHECK(fitted.isNull(), "Null became a value");
        if (isInt && v.isInteger())
            FUZZ_CHECK(fitted == v, "a whole number changed");
        if (isInt && v.isText() && !fitted.isNull())
            FUZZ_CHECK(wholeNumber(v.text()) == fitted.toInteger(), fuzz::shown(v.text()) + " was taken as a number");
        if (fitted.isNull())
            FUZZ_CHECK(v.isNull() || (v.isText() && v.text().empty()), "a value became Null");
    } catch (const store::RuntimeError& e) {
        FUZZ_CHECK(e.number() == store::err::DataTypeMismatch, std::string("refused with ") + e.what());
        FUZZ_CHECK(isBool || isInt, decl + " refused a value");
        FUZZ_CHECK(!v.isNull(), "Null was refused");
    }
}

// Bound to a statement and read back: what the engine hands the program again.
void checkThroughStatement(const Value& v, Value& into)
{
    sqlite3_reset(gEcho);
    store::BindValue(gEcho, 1, v);
    FUZZ_CHECK(sqlite3_step(gEcho) == SQLITE_ROW, "the echo statement gave no row");
    store::ReadValue(sqlite3_column_value(gEcho, 0), into);
    if (v.isReal() && std::isnan(v.real())) {
        FUZZ_CHECK(into.isNull(), "the engine keeps no NaN, so it reads back as Null");
    } else if (v.isReal()) {
        FUZZ_CHECK(into.isReal() && sameReal(into.real(), Value::shownReal(v.real())),
                   Value::realText(v.real()) + " read back as " + into.toText());
    } else {
        FUZZ_CHECK(into == v, fuzz::shown(v.toText()) + " read back as " + fuzz::shown(into.toText()));
    }
    sqlite3_reset(gEcho);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    sqlite3_open(":memory:", &gDb);
    sqlite3_prepare_v2(gDb, "SELECT ?1", -1, &gEcho, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const kDecls[] = {"INTEGER", "BOOLEAN", "TEXT", "DATE", "", "BIGINT", "UNSIGNED BIG INT", "REAL"};
    FuzzedDataProvider in(data, size);
    const std::string decl = kDecls[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kDecls) - 1)];
    const Value v = makeValue(in);
    // A text value already held by the reader: its storage is reused for the next text.
    Value into(in.ConsumeRandomLengthString(16));

    if (v.isReal())
        checkRealText(v.real());
    checkToInteger(v);
    if (v.isText())
        FUZZ_CHECK(v.isTrue() == Value::isTrueText(v.text()), "two yes/no readings of one text");
    checkFit(v, decl);
    checkThroughStatement(v, into);
    return 0;
}
