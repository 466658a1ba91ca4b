#include "store/Recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "store/Connection.h"
#include "store/RuntimeError.h"
#include "store/Text.h"

namespace store {

namespace {

std::string upper(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string quoted(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

Value columnValue(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt, i));
    case SQLITE_NULL:
        return {};
    default: {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return Value(std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i))));
    }
    }
}

void bind(sqlite3_stmt* stmt, int index, const Value& v)
{
    if (v.isNull())
        sqlite3_bind_null(stmt, index);
    else if (v.isInteger())
        sqlite3_bind_int64(stmt, index, v.toInteger());
    else if (v.isReal())
        sqlite3_bind_double(stmt, index, std::stod(v.toText()));
    else
        sqlite3_bind_text(stmt, index, v.text().data(), static_cast<int>(v.text().size()),
                          SQLITE_TRANSIENT);
}

[[noreturn]] void noCurrent()
{
    throw RuntimeError(err::NoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record.");
}

// Owns a statement for one write; finalized on every path.
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

} // namespace

Recordset::~Recordset()
{
    if (isOpen()) {
        try {
            Close();
        } catch (...) {
        }
    }
}

void Recordset::requireOpen(const char*) const
{
    if (!conn_)
        throw RuntimeError(err::ObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::requireWritable(const char* operation) const
{
    requireOpen(operation);
    if (!writable_)
        throw RuntimeError(err::CannotUpdate,
                           std::string("Current Recordset does not support updating (") + operation
                               + " on '" + source_ + "'). This may be a limitation of the provider, "
                               "or of the selected locktype.");
}

void Recordset::requireCurrent(const char*) const
{
    if (!hasCurrent_ || currentDeleted_)
        noCurrent();
}

void Recordset::Open(std::string_view source, Connection& activeConnection, int cursorType, int lockType, long)
{
    if (conn_)
        throw RuntimeError(err::ObjectOpen, "Operation is not allowed when the object is open.");
    sqlite3* db = activeConnection.handle();
    const std::string src(source);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, src.c_str(), static_cast<int>(src.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        static constexpr std::string_view kNoTable = "no such table: ";
        if (msg.rfind(kNoTable, 0) == 0)
            throw RuntimeError(err::TableNotFound,
                               "Cannot find the table '" + msg.substr(kNoTable.size())
                                   + "' in the logbook file '" + activeConnection.dataSource() + "'.");
        throw RuntimeError(err::BadSource, "Cannot read '" + src + "': " + msg + ".");
    }
    if (!stmt)
        throw RuntimeError(err::BadSource, "The recordset's source is empty.");
    std::string_view rest(tail);
    const auto last = src.find_last_not_of(" \t\r\n");
    if (rest.find_first_not_of(" \t\r\n") != std::string_view::npos || (last != std::string::npos && src[last] == ';') || !sqlite3_stmt_readonly(stmt)
        || sqlite3_column_count(stmt) == 0) {
        sqlite3_finalize(stmt);
        throw RuntimeError(err::BadSource,
                           "The recordset's source must be exactly one query: '" + src + "'.");
    }

    stmt_ = stmt;
    source_ = src;
    columns_.clear();
    declTypes_.clear();
    table_.clear();
    keyColumn_ = -1;
    const int n = sqlite3_column_count(stmt);
    bool oneTable = true;
    for (int i = 0; i < n; ++i) {
        columns_.emplace_back(sqlite3_column_name(stmt, i));
        const char* decl = sqlite3_column_decltype(stmt, i);
        declTypes_.emplace_back(decl ? upper(decl) : std::string());
        const char* table = sqlite3_column_table_name(stmt, i);
        if (!table || (!table_.empty() && table_ != table))
            oneTable = false;
        else
            table_ = table;
    }
    if (!oneTable)
        table_.clear();
    for (int i = 0; i < n && !table_.empty(); ++i) {
        const char* origin = sqlite3_column_origin_name(stmt, i);
        int primaryKey = 0;
        const char* type = nullptr;
        if (origin
            && sqlite3_table_column_metadata(db, sqlite3_column_database_name(stmt, i), table_.c_str(),
                                             origin, &type, nullptr, nullptr, &primaryKey, nullptr)
                == SQLITE_OK
            && primaryKey && type && upper(type) == "INTEGER")
            keyColumn_ = i;
    }
    writable_ = (lockType == adLockPessimistic || lockType == adLockOptimistic
                 || lockType == adLockBatchOptimistic)
        && keyColumn_ >= 0;

    // Only a forward-only reader keeps the engine's cursor open between moves; any other
    // cursor lets go of it after each row, so that an idle window holds no lock on the file.
    keepCursor_ = cursorType == adOpenUnspecified || cursorType == adOpenForwardOnly;
    conn_ = &activeConnection;
    conn_->attach(this);
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    parked_ = false;
    rowsRead_ = 0;
    currentDeleted_ = false;
    try {
        hasCurrent_ = step();
    } catch (...) {
        Close();
        throw;
    }
    notify();
}

bool Recordset::step()
{
    if (parked_) {
        // Resume after a write on this connection: run the query again and skip what was read.
        parked_ = false;
        sqlite3_reset(stmt_);
        for (long long i = 0; i < rowsRead_; ++i) {
            int rc = sqlite3_step(stmt_);
            if (rc == SQLITE_DONE) {
                sqlite3_reset(stmt_);
                current_.clear();
                materialized_ = true;
                return false;
            }
            if (rc != SQLITE_ROW)
                conn_->fail(rc, "Cannot read '" + source_ + "'");
        }
    }
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        current_.resize(columns_.size());
        materialized_ = false;
        if (!keepCursor_)
            materialize();
        ++rowsRead_;
        if (!keepCursor_) {
            sqlite3_reset(stmt_);
            parked_ = true;
        }
        return true;
    }
    // Reset at the end, so that a finished reader holds no transaction open.
    sqlite3_reset(stmt_);
    current_.clear();
    materialized_ = true;
    if (rc != SQLITE_DONE)
        conn_->fail(rc, "Cannot read '" + source_ + "'");
    return false;
}

// A reader that keeps its cursor leaves the record in the engine until a field is asked
// for (fieldText hands out the engine's text without copying); anything that needs the
// record as values, or that moves the engine's cursor away, copies it out first.
void Recordset::materialize() const
{
    if (materialized_)
        return;
    materialized_ = true;
    const int n = static_cast<int>(columns_.size());
    for (int i = 0; i < n; ++i) {
        // One call into the engine per field; the value's accessors need no lock, since
        // a connection is only ever used from the thread that opened it.
        sqlite3_value* v = sqlite3_column_value(stmt_, i);
        switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            current_[i] = Value(static_cast<std::int64_t>(sqlite3_value_int64(v)));
            break;
        case SQLITE_FLOAT:
            current_[i] = Value(sqlite3_value_double(v));
            break;
        case SQLITE_NULL:
            current_[i] = Value();
            break;
        default: {
            // Reuses the previous record's text storage.
            auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            current_[i].assignText(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
        }
        }
    }
}

std::optional<std::string_view> Recordset::fieldText(int c) const
{
    if (materialized_ || mode_ != EditMode::None || c < 0 || c >= static_cast<int>(columns_.size())) {
        const Value& v = field(c);
        if (v.isNull())
            return std::nullopt;
        if (v.isText())
            return std::string_view(v.text());
        textScratch_ = v.toText();
        return std::string_view(textScratch_);
    }
    requireCurrent("Fields");
    // One call into the engine; the value's own accessors are cheap.
    sqlite3_value* v = sqlite3_column_value(stmt_, c);
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return std::nullopt;
    auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

bool Recordset::fieldIsTrue(int c) const
{
    if (materialized_ || mode_ != EditMode::None || c < 0 || c >= static_cast<int>(columns_.size()))
        return field(c).isTrue();
    requireCurrent("Fields");
    sqlite3_value* v = sqlite3_column_value(stmt_, c);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v) != 0;
    case SQLITE_FLOAT:
        return sqlite3_value_double(v) != 0.0;
    case SQLITE_NULL:
        return false;
    default:
        return Value::isTrueText(*fieldText(c));
    }
}

void Recordset::park()
{
    materialize();
    if (stmt_ && hasCurrent_ && !parked_) {
        sqlite3_reset(stmt_);
        parked_ = true;
    }
}

void Recordset::Close()
{
    requireOpen("Close");
    // A pending record or change is dropped, never stored: only Update writes.
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    conn_->detach(this);
    conn_ = nullptr;
    current_.clear();
    materialized_ = true;
    savedCurrent_.clear();
    pending_.clear();
    hasCurrent_ = false;
    mode_ = EditMode::None;
    notify();
}

bool Recordset::Eof() const
{
    requireOpen("EOF");
    return mode_ != EditMode::AddNew && !hasCurrent_;
}

void Recordset::MoveNext()
{
    requireOpen("MoveNext");
    if (mode_ != EditMode::None)
        Update();
    if (!hasCurrent_)
        noCurrent();
    currentDeleted_ = false;
    hasCurrent_ = step();
    notify();
}

int Recordset::column(std::string_view name) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (EqualsNoCase(columns_[i], name))
            return static_cast<int>(i);
    throw RuntimeError(err::ItemNotFound,
                       "Item cannot be found in the collection corresponding to the requested name "
                       "or ordinal: there is no field '" + std::string(name) + "' in '" + source_ + "'.");
}

Value Recordset::Fields(std::string_view name) const
{
    requireOpen("Fields");
    return field(column(name));
}

int Recordset::fieldIndex(std::string_view name) const
{
    requireOpen("Fields");
    return column(name);
}

const Value& Recordset::field(int c) const
{
    static const Value kNull;
    requireOpen("Fields");
    if (c < 0 || c >= static_cast<int>(columns_.size()))
        throw RuntimeError(err::ItemNotFound,
                           "Item cannot be found in the collection corresponding to the requested name "
                           "or ordinal: there is no field " + std::to_string(c) + " in '" + source_ + "'.");
    if (pending_[c])
        return *pending_[c];
    if (mode_ == EditMode::AddNew)
        return kNull;
    requireCurrent("Fields");
    materialize();
    return current_[c];
}

void Recordset::setField(std::string_view name, Value value)
{
    requireWritable("a change of a field");
    const int c = column(name);
    if (c == keyColumn_)
        throw RuntimeError(err::CannotUpdate, "The field '" + columns_[c] + "' is assigned by the "
                                              "logbook and cannot be changed.");
    if (mode_ == EditMode::None) {
        requireCurrent("a change of a field");
        mode_ = EditMode::InProgress;
    }
    pending_[c] = std::move(value);
}

namespace {

// Fits a value to the declared type of its column. Whole-number columns take digits only
// (a pasted letter is refused here with the field's name, not stored as text); yes/no
// columns take 0 or 1; every other column stores what it is given.
Value coerce(const Value& v, const std::string& decl, const std::string& field)
{
    if (v.isNull())
        return v;
    const bool isBool = decl.find("BOOL") != std::string::npos;
    const bool isInt = decl.find("INT") != std::string::npos;
    if (!isBool && !isInt)
        return v;
    auto mismatch = [&] {
        return RuntimeError(err::DataTypeMismatch,
                            "Data type mismatch: the field '" + field + "' takes "
                                + (isBool ? "only Yes or No" : "only a whole number")
                                + ", not '" + v.toText() + "'.");
    };
    std::int64_t n = 0;
    if (v.isInteger()) {
        n = v.toInteger();
    } else if (v.isReal()) {
        double d = std::stod(v.toText());
        if (d != std::floor(d) || std::fabs(d) > 9e18)
            throw mismatch();
        n = static_cast<std::int64_t>(d);
    } else {
        const auto& s = v.text();
        if (s.empty())
            return {};
        if (isBool && (s == "True" || s == "False"))
            return Value(s == "True");
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
        if (ec != std::errc() || p != s.data() + s.size())
            throw mismatch();
    }
    if (isBool)
        return Value(n != 0);
    return Value(n);
}

} // namespace

void Recordset::reloadCurrent()
{
    sqlite3* db = conn_->handle();
    Statement q;
    const std::string sql = "SELECT * FROM " + quoted(table_) + " WHERE " + quoted(columns_[keyColumn_])
        + " = ?";
    const std::int64_t key = current_[keyColumn_].toInteger();
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &q.stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(q.stmt, 1, key);
        rc = sqlite3_step(q.stmt);
    }
    if (rc != SQLITE_ROW)
        conn_->fail(rc, "Cannot read back the stored entry");
    // Our source may list the table's columns in another order than SELECT * does.
    const int n = sqlite3_column_count(q.stmt);
    for (int i = 0; i < n; ++i) {
        const std::string name = sqlite3_column_name(q.stmt, i);
        for (std::size_t c = 0; c < columns_.size(); ++c)
            if (EqualsNoCase(columns_[c], name))
                current_[c] = columnValue(q.stmt, i);
    }
}

void Recordset::Update()
{
    materialize();
    requireWritable("Update");
    if (mode_ == EditMode::None) {
        // Nothing changed: nothing to write, but there must be a record to write.
        requireCurrent("Update");
        return;
    }
    std::vector<int> cols;
    std::vector<Value> values;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (pending_[c]) {
            cols.push_back(static_cast<int>(c));
            values.push_back(coerce(*pending_[c], declTypes_[c], columns_[c]));
        }
    }
    sqlite3* db = conn_->handle();
    std::string sql;
    if (mode_ == EditMode::AddNew) {
        if (cols.empty()) {
            sql = "INSERT INTO " + quoted(table_) + " DEFAULT VALUES";
        } else {
            std::string names, marks;
            for (int c : cols) {
                names += (names.empty() ? "" : ", ") + quoted(columns_[c]);
                marks += marks.empty() ? "?" : ", ?";
            }
            sql = "INSERT INTO " + quoted(table_) + " (" + names + ") VALUES (" + marks + ")";
        }
    } else {
        requireCurrent("Update");
        std::string sets;
        for (int c : cols)
            sets += (sets.empty() ? "" : ", ") + quoted(columns_[c]) + " = ?";
        sql = "UPDATE " + quoted(table_) + " SET " + sets + " WHERE " + quoted(columns_[keyColumn_])
            + " = ?";
    }

    conn_->beforeWrite();
    Statement w;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &w.stmt, nullptr);
    if (rc != SQLITE_OK)
        conn_->fail(rc, "Cannot store the entry");
    for (std::size_t i = 0; i < values.size(); ++i)
        bind(w.stmt, static_cast<int>(i) + 1, values[i]);
    if (mode_ == EditMode::InProgress)
        sqlite3_bind_int64(w.stmt, static_cast<int>(values.size()) + 1, current_[keyColumn_].toInteger());
    rc = sqlite3_step(w.stmt);
    if (rc != SQLITE_DONE)
        conn_->fail(rc, "Cannot store the entry");
    if (mode_ == EditMode::InProgress && sqlite3_changes(db) == 0)
        throw RuntimeError(err::RowNotFound,
                           "Row cannot be located for updating: the entry " + current_[keyColumn_].toText()
                               + " is no longer in the logbook '" + conn_->dataSource() + "'.");
    conn_->afterWrite();

    if (mode_ == EditMode::AddNew) {
        // The stored record becomes the current one, with the key the database gave it.
        current_.assign(columns_.size(), Value());
        current_[keyColumn_] = Value(static_cast<std::int64_t>(sqlite3_last_insert_rowid(db)));
        hasCurrent_ = true;
        currentDeleted_ = false;
    }
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    reloadCurrent();
    notify();
}

void Recordset::CancelUpdate()
{
    requireOpen("CancelUpdate");
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
    requireCurrent("Delete");
    sqlite3* db = conn_->handle();
    const std::string sql = "DELETE FROM " + quoted(table_) + " WHERE " + quoted(columns_[keyColumn_]) + " = ?";
    conn_->beforeWrite();
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
    conn_->afterWrite();
    currentDeleted_ = true;
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    notify();
}

int Recordset::subscribe(Listener listener)
{
    listeners_[nextToken_] = std::move(listener);
    return nextToken_++;
}

void Recordset::unsubscribe(int token) { listeners_.erase(token); }

void Recordset::notify()
{
    auto copy = listeners_;
    for (auto& [token, fn] : copy)
        if (listeners_.count(token))
            fn();
}

} // namespace store
