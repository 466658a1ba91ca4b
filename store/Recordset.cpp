#include "store/Recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "store/Connection.h"
#include "store/Conversion.h"
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

// What a reading query may do while the engine prepares it. Preparing already carries out
// part of some statements (a PRAGMA's new setting takes effect then), so anything else is
// refused by the engine before it happens, not by us after.
int onlyReading(void*, int action, const char*, const char*, const char*, const char*)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

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

void Recordset::noCurrent()
{
    throw RuntimeError(err::NoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record.");
}

void Recordset::requireOpen() const
{
    if (!conn_)
        throw RuntimeError(err::ObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::requireWritable(const char* operation) const
{
    requireOpen();
    if (!writable_)
        throw RuntimeError(err::CannotUpdate,
                           std::string("Current Recordset does not support updating (") + operation
                               + " on '" + source_ + "'). This may be a limitation of the provider, "
                               "or of the selected locktype.");
}

void Recordset::requireCurrent() const
{
    if (!hasCurrent_ || currentDeleted_)
        noCurrent();
}

void Recordset::Open(std::string_view source, Connection& activeConnection, int cursorType, int lockType)
{
    if (conn_)
        throw RuntimeError(err::ObjectOpen, "Operation is not allowed when the object is open.");
    sqlite3* db = activeConnection.handle();
    const std::string src(source);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const auto notOneQuery = [&] {
        return RuntimeError(err::BadSource, "The recordset's source must be exactly one query: '" + src + "'.");
    };
    sqlite3_set_authorizer(db, onlyReading, nullptr);
    int rc = sqlite3_prepare_v2(db, src.c_str(), static_cast<int>(src.size()), &stmt, &tail);
    sqlite3_set_authorizer(db, nullptr, nullptr);
    if (rc == SQLITE_AUTH)
        throw notOneQuery();
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
        throw notOneQuery();
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
    // One call into the engine per field; the value's accessors need no lock, since a
    // connection is only ever used from the thread that opened it.
    for (int i = 0; i < n; ++i)
        ReadValue(sqlite3_column_value(stmt_, i), current_[i]);
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
    requireCurrent();
    // One call into the engine; the value's own accessors are cheap.
    sqlite3_value* v = sqlite3_column_value(stmt_, c);
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_FLOAT:
        // Our own text form, not the engine's ("2", not "2.0"): one value reads the same
        // however it is asked for.
        textScratch_ = Value::realText(sqlite3_value_double(v));
        return std::string_view(textScratch_);
    default:
        break;
    }
    auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

bool Recordset::fieldIsTrue(int c) const
{
    if (materialized_ || mode_ != EditMode::None || c < 0 || c >= static_cast<int>(columns_.size()))
        return field(c).isTrue();
    requireCurrent();
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
    requireOpen();
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
    requireOpen();
    return mode_ != EditMode::AddNew && !hasCurrent_;
}

void Recordset::MoveNext()
{
    requireOpen();
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
    requireOpen();
    return field(column(name));
}

int Recordset::fieldIndex(std::string_view name) const
{
    requireOpen();
    return column(name);
}

const Value& Recordset::field(int c) const
{
    static const Value kNull;
    requireOpen();
    if (c < 0 || c >= static_cast<int>(columns_.size()))
        throw RuntimeError(err::ItemNotFound,
                           "Item cannot be found in the collection corresponding to the requested name "
                           "or ordinal: there is no field " + std::to_string(c) + " in '" + source_ + "'.");
    if (pending_[c])
        return *pending_[c];
    if (mode_ == EditMode::AddNew)
        return kNull;
    requireCurrent();
    materialize();
    return current_[c];
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
