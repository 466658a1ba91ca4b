#include "store/Conversion.h"

#include <sqlite3.h>

#include <cmath>

#include "store/RuntimeError.h"

namespace store {

void ReadValue(sqlite3_value* v, Value& into)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        into = Value(static_cast<std::int64_t>(sqlite3_value_int64(v)));
        break;
    case SQLITE_FLOAT:
        into = Value(sqlite3_value_double(v));
        break;
    case SQLITE_NULL:
        into = Value();
        break;
    default: {
        auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        into.assignText(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
    }
    }
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& v)
{
    if (v.isNull())
        sqlite3_bind_null(stmt, index);
    else if (v.isInteger())
        sqlite3_bind_int64(stmt, index, v.toInteger());
    else if (v.isReal())
        sqlite3_bind_double(stmt, index, Value::shownReal(v.real()));
    else
        sqlite3_bind_text(stmt, index, v.text().data(), static_cast<int>(v.text().size()),
                          SQLITE_TRANSIENT);
}

Value FitToColumn(const Value& v, const std::string& decl, const std::string& field)
{
    if (v.isNull())
        return v;
    const bool isBool = decl.find("BOOL") != std::string::npos;
    const bool isInt = decl.find("INT") != std::string::npos;
    if (!isBool && !isInt)
        return v;
    auto mismatch = [&] {
        return ValueRefused(err::DataTypeMismatch,
                            "Data type mismatch: the field '" + field + "' takes "
                                + (isBool ? "only Yes or No" : "only a whole number")
                                + ", not '" + v.toText() + "'.",
                            field, v.toText());
    };
    std::int64_t n = 0;
    if (v.isInteger()) {
        n = v.toInteger();
    } else if (v.isReal()) {
        // Judged as shown: 2.0000000000000001 is the whole number 2.
        const double d = Value::shownReal(v.real());
        if (d != std::floor(d) || std::fabs(d) > 9e18)
            throw mismatch();
        n = static_cast<std::int64_t>(d);
    } else {
        const auto& s = v.text();
        if (s.empty())
            return {};
        if (isBool && (s == "True" || s == "False"))
            return Value(s == "True");
        const auto whole = Value::wholeNumber(s);
        if (!whole)
            throw mismatch();
        n = *whole;
    }
    if (isBool)
        return Value(n != 0);
    return Value(n);
}

} // namespace store
