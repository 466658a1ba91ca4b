#pragma once
// The logbook file: where it lies, how the connection string names it, the program's two
// SQL texts, and the one definition of the table tblLog.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logbook {

// The names as the program has always written them, below its own folder.
inline constexpr std::string_view kDatabaseFile = "\\Wingtrail.dat";
inline constexpr std::string_view kImageFile = "\\images\\Wingtrail.img";

// Joins the program's folder and one of the names above with this platform's separator.
std::string ProgramFile(std::string_view programFolder, std::string_view windowsName);

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<folder>/Wingtrail.dat;Persist Security Info=False"
std::string ConnectionString(std::string_view programFolder);

// Statement 1: all entries, in the order the database returns them.
inline constexpr std::string_view kSelectAll = "Select * from tblLog";
// Statement 2: one entry; the logid's decimal digits follow the equals sign with no blank.
std::string SelectById(std::int64_t logid);
// The logid that a text showing one names (the overview's row text): a decimal whole
// number, exactly as the store writes a logid; nullopt for any other text.
std::optional<std::int64_t> ParseLogId(std::string_view text);

// The table's definition. The file stays plain for other programs: dates as ISO text
// (YYYY-MM-DD), yes/no as 1/0, numbers as integers, an empty box as Null.
extern const char* const kSchema;

// Makes a new, empty logbook at path. Refuses (RuntimeError, nothing touched) when
// anything already exists there.
void CreateLogbook(const std::string& path);

} // namespace logbook
