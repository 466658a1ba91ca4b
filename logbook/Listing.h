#pragma once
// Entries in real date order (the overview sorts its "Date" column as text, day first),
// filtered, with the overview's cell texts and the flight time; and the whole table as
// CSV, exactly as stored.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "store/Connection.h"

namespace wtlog {

struct ListFilter {
    std::string from, to;          // YYYY-MM-DD, inclusive
    std::string airport;           // departure or destination, any case
    std::string aircraft, airline, callsign;  // a part of the field, any case
    std::string rule;              // the whole flight rule, any case
    std::string text;              // a part of any field, any case
    std::string sort = "date";     // one of SortKeys()
};
const std::vector<std::string>& SortKeys();

// The columns of a listed entry: the overview's headers, then "Flight time".
const std::vector<std::string>& ListHeaders();

// Calls onRow with the cells of each entry that passes the filter, in order.
void ListEntries(store::Connection& connection, const ListFilter& filter,
                 const std::function<void(const std::vector<std::string>& cells)>& onRow);

// Writes every entry as CSV: the field names of tblLog as header, one record per entry in
// logid order, Null as an empty cell, empty text as "", numbers in plain decimal.
// Returns the number of entries written.
std::int64_t ExportCsv(store::Connection& connection, std::FILE* out,
                       const std::function<void(std::int64_t)>& progress = {});

// The number of entries, for progress.
std::int64_t CountEntries(store::Connection& connection);

} // namespace wtlog
