#pragma once
// Values between the engine and the program: reading a result column, binding a
// statement parameter, and fitting a value to the declared type of its column.
#include <string>

#include "store/Value.h"

struct sqlite3_value;
struct sqlite3_stmt;

namespace store {

// Reads an engine value into `into`; a text value reuses the storage `into` already holds.
void ReadValue(sqlite3_value* v, Value& into);
void BindValue(sqlite3_stmt* stmt, int index, const Value& v);

// Fits a value to the declared type of its column (upper case, as the table declares it).
// Whole-number columns take digits only (a pasted letter is refused here with the field's
// name, not stored as text); yes/no columns take 0 or 1; every other column stores what it
// is given. Throws ValueRefused (data type mismatch) for a value that does not fit.
Value FitToColumn(const Value& v, const std::string& declType, const std::string& field);

} // namespace store
