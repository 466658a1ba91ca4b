#pragma once
// What the widget and store tests share: a logbook in a temporary program folder, the
// message-box, beep and error seams answered and recorded, and a second connection to
// read back what reached the file.
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/MsgBox.h"
#include "store/RuntimeError.h"

namespace wt::test {

// A program folder with an empty logbook and a start-up picture; the program's folder
// points at it and Module1 holds a closed connection and recordset, as after start-up.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    QString path() const { return dir_.path(); }
    std::string databasePath() const;
    // Runs SQL on the file through its own connection (for fixtures).
    void exec(const std::string& sql) const;
    // Replaces tblLog by one as another program may have made it: the same columns and
    // types without any of our rules (no CHECK constraints, no AUTOINCREMENT), so that it
    // holds whatever that program wrote; or with rules of its own, given as table
    // constraints (", CHECK (length(airline) <= 100)").
    void useTableWithoutRules(const std::string& rulesOfItsOwn = {}) const;

private:
    QTemporaryDir dir_;
};

// One row as another program reads it: column name to value, Null as std::nullopt.
using Row = std::map<std::string, std::optional<std::string>>;
std::vector<Row> ReadRows(const std::string& databasePath, const std::string& sql = "SELECT * FROM tblLog ORDER BY logid");

// Answers message boxes from a queue (Yes when empty) and records every question.
class Seams {
public:
    Seams();
    ~Seams();
    std::deque<int> answers;
    std::vector<platform::MsgBoxCall> questions;
    int beeps = 0;
    std::vector<store::RuntimeError> errors;
};

// Runs whileOpen as soon as the event loop turns, i.e. once the modal window that the
// caller shows next is up.
void WhenShown(std::function<void()> whileOpen);

// The modal top-level window of that class, if one is open.
QWidget* OpenWindow(const char* className);

} // namespace wt::test
