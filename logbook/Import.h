#pragma once
// Filing the entries of a CSV file: this program's own export, a flight planner's logbook
// export, or another logbook's export read by its column names. A first pass reads every
// row and says what it would do: the rows it would refuse and why (line, field, value),
// and the rows that repeat an entry already in the logbook (same date, departure,
// destination and departure time). Only when every row is good are the rows written, all
// in one transaction.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/Connection.h"

namespace wtlog {

enum class CsvFormat { Own, Planner, Columns };
const char* FormatName(CsvFormat format);

struct RowRefusal {
    long line;
    std::string field;  // the column of the file, empty when the row as a whole is refused
    std::string value;
    std::string reason;
};

struct RowDuplicate {
    long line;
    std::int64_t logid;  // the entry it repeats
    std::string what;    // date, route and departure time
};

struct ImportReport {
    CsvFormat format = CsvFormat::Columns;
    std::vector<std::string> used;     // "file column -> field"
    std::vector<std::string> ignored;  // columns of the file no field takes
    std::int64_t rows = 0;
    std::int64_t refusedCount = 0, duplicateCount = 0;
    std::vector<RowRefusal> refused;       // the first kListed
    std::vector<RowDuplicate> duplicates;  // the first kListed
    bool keepsNumbers = false;  // the file's logids are kept (own format, none taken)
    bool written = false;
    static constexpr std::size_t kListed = 200;
};

struct ImportOptions {
    bool dryRun = false;
    bool allowDuplicates = false;
    std::function<void(std::uint64_t bytes, std::uint64_t total, bool writing)> progress;
};

// Throws Refused for a file that cannot be read as a whole (not there, malformed CSV at a
// line, no header, no column any field takes), and for a write the logbook refused.
ImportReport ImportCsv(store::Connection& connection, const std::string& path, const ImportOptions& options);

} // namespace wtlog
