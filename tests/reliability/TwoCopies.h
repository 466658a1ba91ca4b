#pragma once
// Two copies of the program on one logbook file. A copy is what the windows do with the
// store, step by step as they do it; the other copy runs in a child process of its own.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "store/Connection.h"
#include "store/Recordset.h"
#include "store/RuntimeError.h"

namespace wt::reliability {

// A log entry's fields as another program reads them back from the file (pax "120",
// nextday "1"); the form writes them as its controls hand them over.
using Fields = std::map<std::string, std::string>;

// The fifteen fields of a new entry, different for every copy and every Save: quotes,
// non-Latin text, the longest remarks and route the form takes.
Fields NewEntry(char copy, int seq);
// What one edit changes. Copy 'A' changes the remarks and the passengers, any other
// copy the route and the cargo, so that both copies' edits of one entry can be told
// apart in the file.
Fields Edit(char copy, int seq);

// Sets the fields on the current record as the form's controls hand them over: the
// check box a yes/no, every other control its text.
void SetFields(store::Recordset& rs, const Fields& fields);

class Copy {
public:
    explicit Copy(const std::string& programFolder);

    // The new-entry window: load, one Save per entry with Yes to "File another log?"
    // in between, No after the last, unload. onSaved runs as each Save returns.
    void fileEntries(const std::vector<Fields>& entries, const std::function<void(std::int64_t)>& onSaved = {});

    // The overview window's load and unload; ids() is what its list shows.
    void openOverview();
    void closeOverview();
    const std::vector<std::int64_t>& ids() const { return ids_; }

    // Edit on a row of the list: the edit window loads the entry, the user changes it
    // (whileShown runs while the window shows it), Save, Yes, unload and refill. False
    // when the entry was gone at the load (the window says so and closes).
    bool edit(std::int64_t logid, const Fields& changes, const std::function<void()>& whileShown = {});
    // Delete on a row of the list, confirmed, then the refill. beforeDelete runs between
    // the open of the one-row recordset and its Delete. False when the entry was gone.
    bool remove(std::int64_t logid, const std::function<void()>& beforeDelete = {});

    store::Connection& connection() { return conLog_; }

private:
    void fillList(); // opens rsLog on all entries and reads it to its end, as the list fill does
    void refill();   // after an edit or a delete: rsLog closed, then the fill

    store::Connection conLog_;
    store::Recordset rsLog_;
    std::vector<std::int64_t> ids_;
};

// The other copy: a child process running `run` on its own. It and the test talk in
// lines through two pipes; every wait for a line is bounded.
class OtherCopy {
public:
    explicit OtherCopy(std::function<void(OtherCopy&)> run);
    ~OtherCopy();
    OtherCopy(const OtherCopy&) = delete;
    OtherCopy& operator=(const OtherCopy&) = delete;

    // Both ends: a line to the other side, and the next line from it ("" when none came
    // within the time limit or the other side is gone).
    void say(const std::string& line);
    std::string hear();

    // The test: waits (bounded) for the copy to end; its exit status, or 128 + the signal
    // that ended it. A copy whose `run` throws ends with status 2 after saying so.
    int exitStatus();

private:
    int in_ = -1;   // what the other side says
    int out_ = -1;  // what this side says
    int pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string buffer_;
};

// A RuntimeError as one line of a report: "<number> <description>".
std::string ErrorLine(const store::RuntimeError& e);

// The logbook's rows as another program reads them: logid to its fields.
std::map<std::int64_t, Fields> ReadEntries(const std::string& databasePath);
// The answer of PRAGMA integrity_check.
std::string IntegrityCheck(const std::string& databasePath);

} // namespace wt::reliability
