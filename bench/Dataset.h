#pragma once
// Logbooks of N made-up but plausible entries, made once and kept in a folder so that
// repeated runs measure the same file without paying for its making again.
#include <string>

namespace bench {

// The overview's columns in the order the list shows them, with nextday read beside
// timeArrival, as the fill reads them.
inline constexpr const char* kShownColumns =
    "logid, date, departure, destination, timeDeparture, timeArrival, nextday, aircraft, "
    "airline, callsign, flightrule, pax, cargo, remarks, route";

// The table field behind a 1-based overview column ("Nr." is 1, "Route" is 14).
const char* FieldOfColumn(int column);
// The header text of a 1-based overview column.
const char* HeaderOfColumn(int column);

// Returns the program folder holding Wingtrail.dat with exactly `rows` entries under
// `cacheRoot`/<rows>, making it first when it is missing or was made by another version
// of the generator. Prints a line when it has to make one.
std::string PrepareLogbook(const std::string& cacheRoot, long rows);

} // namespace bench

namespace bench {

// Makes `folder` a program folder as the program expects it beside its executable:
// Wingtrail.dat (a copy of logbookFrom, or an empty logbook when that is empty) and
// images/Wingtrail.img; with a copy of `executable` when one is given. Returns the folder.
std::string MakeProgramFolder(const std::string& folder, const std::string& logbookFrom,
                              const std::string& executable = {});
// Puts the main window's picture, images/Wingtrail.img, into the folder when it is missing.
void PlacePicture(const std::string& folder);

} // namespace bench
