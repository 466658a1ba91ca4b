// The recordset's writes: AddNew, a change of a field, Update, CancelUpdate and Delete.
// Each write is one statement on the recordset's own table, keyed by its integer key.
#include "store/Recordset.h"

#include <sqlite3.h>

#include <cctype>

#include "store/Connection.h"
#include "store/Conversion.h"
#include "store/RuntimeError.h"
#include "store/Text.h"

namespace store {

namespace {

// Owns a statement for one write; finalized on every path.
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Where the engine's message names the column: "NOT NULL constraint failed: tblLog.pax",
// "CHECK constraint failed: pax IS NULL OR ...", or a constraint named after its column,
// "CHECK constraint failed: pax_is_a_number". npos when it does not.
std::size_t namedAt(const std::string& message, const std::string& column)
{
    for (std::size_t at = 0; at + column.size() <= message.size(); ++at) {
        if (!EqualsNoCase(std::string_view(message).substr(at, column.size()), column))
            continue;
        const bool startsWord = at == 0 || !isNameChar(message[at - 1]);
        const std::size_t end = at + column.size();
        const bool endsName = end == message.size() || !std::isalnum(static_cast<unsigned char>(message[end]));
        if (startsWord && endsName)
            return at;
    }
    return std::string::npos;
}

} // namespace

void Recordset::setField(std::string_view name, Value value)
{
    requireWritable("a change of a field");
    const int c = column(name);
    if (c == keyColumn_)
        throw RuntimeError(err::CannotUpdate, "The field '" + columns_[c] + "' is assigned by the "
                                              "logbook and cannot be changed.");
    if (mode_ == EditMode::None) {
        requireCurrent();
        mode_ = EditMode::InProgress;
    }
    pending_[c] = std::move(value);
}

void Recordset::readStored(sqlite3_stmt* row, std::vector<Value>& into) const
{
    // Our source may list the table's columns in another order than the table does.
    const int n = sqlite3_column_count(row);
    for (int i = 0; i < n; ++i) {
        const std::string name = sqlite3_column_name(row, i);
        for (std::size_t c = 0; c < columns_.size(); ++c)
            if (EqualsNoCase(columns_[c], name))
                ReadValue(sqlite3_column_value(row, i), into[c]);
    }
}

void Recordset::Update()
{
    materialize();
    requireWritable("Update");
    if (mode_ == EditMode::None) {
        // Nothing changed: nothing to write, but there must be a record to write.
        requireCurrent();
        return;
    }
    std::vector<int> cols;
    std::vector<Value> values;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (pending_[c]) {
            cols.push_back(static_cast<int>(c));
            values.push_back(FitToColumn(*pending_[c], declTypes_[c], columns_[c]));
        }
    }
    sqlite3* db = conn_->handle();
    std::string sql;
    if (mode_ == EditMode::AddNew) {
        if (cols.empty()) {
            sql = "INSERT INTO " + QuotedName(table_) + " DEFAULT VALUES";
        } else {
            std::string names, marks;
            for (int c : cols) {
                names += (names.empty() ? "" : ", ") + QuotedName(columns_[c]);
                marks += marks.empty() ? "?" : ", ?";
            }
            sql = "INSERT INTO " + QuotedName(table_) + " (" + names + ") VALUES (" + marks + ")";
        }
    } else {
        requireCurrent();
        std::string sets;
        for (int c : cols)
            sets += (sets.empty() ? "" : ", ") + QuotedName(columns_[c]) + " = ?";
        sql = "UPDATE " + QuotedName(table_) + " SET " + sets + " WHERE " + QuotedName(columns_[keyColumn_])
            + " = ?";
    }
    // The write, and the reading back of the stored row, in one transaction: read after
    // the commit, the row could already be gone (another copy of the program may delete
    // it the moment it is stored), and a Save that stored would be reported as failed.
    Connection::WriteTransaction transaction(*conn_);
    Statement w;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &w.stmt, nullptr);
    if (rc != SQLITE_OK)
        conn_->fail(rc, "Cannot store the entry");
    for (std::size_t i = 0; i < values.size(); ++i)
        BindValue(w.stmt, static_cast<int>(i) + 1, values[i]);
    if (mode_ == EditMode::InProgress)
        sqlite3_bind_int64(w.stmt, static_cast<int>(values.size()) + 1, current_[keyColumn_].toInteger());
    rc = sqlite3_step(w.stmt);
    if (rc != SQLITE_DONE) {
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            refuseForConstraint(rc);
        conn_->fail(rc, "Cannot store the entry");
    }
    if (mode_ == EditMode::InProgress && sqlite3_changes(db) == 0)
        throw RuntimeError(err::RowNotFound,
                           "Row cannot be located for updating: the entry " + current_[keyColumn_].toText()
                               + " is no longer in the logbook '" + conn_->dataSource() + "'.");
    const std::int64_t key = mode_ == EditMode::AddNew ? static_cast<std::int64_t>(sqlite3_last_insert_rowid(db))
                                                       : current_[keyColumn_].toInteger();
    std::vector<Value> stored = mode_ == EditMode::AddNew ? std::vector<Value>(columns_.size()) : current_;
    Statement back;
    const std::string read = "SELECT * FROM " + QuotedName(table_) + " WHERE " + QuotedName(columns_[keyColumn_]) + " = ?";
    rc = sqlite3_prepare_v2(db, read.c_str(), -1, &back.stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(back.stmt, 1, key);
        rc = sqlite3_step(back.stmt);
    }
    if (rc != SQLITE_ROW)
        conn_->fail(rc, "Cannot read back the stored entry");
    readStored(back.stmt, stored);
    sqlite3_reset(back.stmt);
    transaction.commit();

    // The stored record becomes the current one, a new one with the key the database gave it.
    current_ = std::move(stored);
    if (mode_ == EditMode::AddNew) {
        hasCurrent_ = true;
        currentDeleted_ = false;
    }
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    notify();
}

void Recordset::refuseForConstraint(int rc) const
{
    // A rule of the table refused the record: a value the user can correct. The field is
    // the one the engine's message names first, written or left empty (NOT NULL).
    const std::string message = sqlite3_errmsg(conn_->handle());
    std::size_t first = std::string::npos;
    int named = -1;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const std::size_t at = namedAt(message, columns_[c]);
        if (at < first) {
            first = at;
            named = static_cast<int>(c);
        }
    }
    std::string field, value;
    if (named >= 0) {
        field = columns_[static_cast<std::size_t>(named)];
        const auto& pending = pending_[static_cast<std::size_t>(named)];
        value = pending ? pending->toText()
                        : (mode_ == EditMode::AddNew ? std::string() : current_[static_cast<std::size_t>(named)].toText());
    }
    try {
        conn_->fail(rc, "Cannot store the entry");
    } catch (const RuntimeError& e) {
        throw ValueRefused(e.number(), e.description(), field, value);
    }
}

void Recordset::CancelUpdate()
{
    requireOpen();
    if (mode_ == EditMode::None)
        return;
    if (mode_ == EditMode::AddNew) {
        current_ = savedCurrent_;
        hasCurrent_ = savedHasCurrent_;
    }
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    notify();
}

void Recordset::AddNew()
{
    materialize();
    requireWritable("AddNew");
    if (mode_ != EditMode::None)
        Update();
    savedCurrent_ = current_;
    savedHasCurrent_ = hasCurrent_ && !currentDeleted_;
    pending_.assign(columns_.size(), std::nullopt);
    mode_ = EditMode::AddNew;
    notify();
}

void Recordset::Delete(long affectRecords)
{
    materialize();
    requireWritable("Delete");
    if (affectRecords != adAffectCurrent)
        throw RuntimeError(err::CannotUpdate, "Only the current record can be deleted.");
    if (mode_ == EditMode::AddNew)
        noCurrent();
    requireCurrent();
    sqlite3* db = conn_->handle();
    const std::string sql = "DELETE FROM " + QuotedName(table_) + " WHERE " + QuotedName(columns_[keyColumn_]) + " = ?";
    Connection::WriteTransaction transaction(*conn_);
    Statement w;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &w.stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(w.stmt, 1, current_[keyColumn_].toInteger());
        rc = sqlite3_step(w.stmt);
    }
    if (rc != SQLITE_DONE)
        conn_->fail(rc, "Cannot delete the entry");
    if (sqlite3_changes(db) == 0)
        throw RuntimeError(err::RowNotFound, "The entry " + current_[keyColumn_].toText()
                                                 + " is no longer in the logbook '" + conn_->dataSource()
                                                 + "'.");
    transaction.commit();
    currentDeleted_ = true;
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    notify();
}

} // namespace store
