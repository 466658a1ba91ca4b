#pragma once
// The one error type of the program. Every failing operation raises it with a number
// and a description that names what failed; the general run-time error handler shows both.
#include <stdexcept>
#include <string>

namespace store {

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(long number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    long number() const { return number_; }
    std::string description() const { return what(); }

private:
    long number_;
};

// A value the logbook will not store in its field: the column's type or a rule of the table
// refuses it. Nothing was written and the pending record is as it was, so the user can
// correct the value and store the record again.
class ValueRefused : public RuntimeError {
public:
    ValueRefused(long number, const std::string& description, std::string field, std::string value)
        : RuntimeError(number, description), field_(std::move(field)), value_(std::move(value)) {}
    // The field as the table names it; empty when the engine did not say which.
    const std::string& field() const { return field_; }
    // The refused value as text, empty for Null.
    const std::string& value() const { return value_; }

private:
    std::string field_;
    std::string value_;
};

// Error numbers, kept to the ones a user of the classic data-access objects would recognise.
namespace err {
inline constexpr long OutOfMemory = 7;            // the machine gave no more memory
inline constexpr long InternalError = 51;         // a failure of the program's own, not of a file or value
inline constexpr long FileNotFound = 53;          // a file the program needs is missing
inline constexpr long PathFileAccess = 75;        // a file exists but cannot be used
inline constexpr long InvalidPicture = 481;       // the picture file holds no picture we can read
inline constexpr long NoCurrentRecord = 3021;     // EOF, or the current record was deleted
inline constexpr long CannotUpdate = 3251;        // the recordset does not allow this operation
inline constexpr long ItemNotFound = 3265;        // no field of that name
inline constexpr long DataTypeMismatch = 3421;    // a value does not fit its field
inline constexpr long ObjectClosed = 3704;        // operation on a closed object
inline constexpr long ObjectOpen = 3705;          // operation not allowed while open
inline constexpr long ConnectionUnusable = 3709;  // the connection is closed or invalid
inline constexpr long BadConnectionString = 3706; // provider not accepted / string malformed
inline constexpr long DatabaseEngine = -2147467259; // any other failure reported by the engine
inline constexpr long NotADatabase = -2147467259;
inline constexpr long TableNotFound = -2147217865;  // the source names a table the file lacks
inline constexpr long RowNotFound = -2147217864;    // the row to update is no longer there
inline constexpr long BadSource = -2147217900;      // the source text is not one readable statement
} // namespace err

} // namespace store
