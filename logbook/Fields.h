#pragma once
// The fields of tblLog in the table's own order, as the companion program reads and
// writes them.
#include <array>
#include <string_view>

namespace wtlog {

enum Field : int {
    LogId, Date, Departure, TimeDeparture, Destination, TimeArrival, NextDay, FlightTime,
    Aircraft, Airline, Callsign, FlightRule, Pax, Cargo, Remarks, Route, FieldCount
};

inline constexpr std::array<std::string_view, FieldCount> kFieldNames = {
    "logid", "date", "departure", "timeDeparture", "destination", "timeArrival", "nextday", "flighttime",
    "aircraft", "airline", "callsign", "flightrule", "pax", "cargo", "remarks", "route"};

// "logid, date, ..., route": every field, for a SELECT or an INSERT.
inline constexpr std::string_view kFieldList =
    "logid, date, departure, timeDeparture, destination, timeArrival, nextday, flighttime, "
    "aircraft, airline, callsign, flightrule, pax, cargo, remarks, route";

} // namespace wtlog
