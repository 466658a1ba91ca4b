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

// The sources a recordset that writes may have: the whole table, "Select * from T", or
// the one row its integer key names, "Select * from T where key =N" (keywords in any case,
// blanks anywhere between the parts). Update and Delete act on the current record, so a
// source selecting more than the row it names would have them act on some other entry.
bool isWholeTableOrOneRow(std::string_view src, std::string_view table, std::string_view key)
{
    std::size_t pos = 0;
    auto blanks = [&] {
        while (pos < src.size() && std::isspace(static_cast<unsigned char>(src[pos])))
            ++pos;
    };
    auto word = [&] {
        blanks();
        const std::size_t from = pos;
        while (pos < src.size() && (std::isalnum(static_cast<unsigned char>(src[pos])) || src[pos] == '_'))
            ++pos;
        return src.substr(from, pos - from);
    };
    auto symbol = [&](char c) {
        blanks();
        return pos < src.size() && src[pos++] == c;
    };
    if (!EqualsNoCase(word(), "select") || !symbol('*') || !EqualsNoCase(word(), "from") || !EqualsNoCase(word(), table))
        return false;
    blanks();
    if (pos == src.size())
        return true;
    if (!EqualsNoCase(word(), "where") || !EqualsNoCase(word(), key) || !symbol('='))
        return false;
    blanks();
    std::string_view number = src.substr(pos);
    number = number.substr(0, number.find_last_not_of(" \t\r\n") + 1);
    return Value::wholeNumber(number).has_value();
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

void Recordset::noCurrent() const
{
    // The source says which entry was asked for: a one-row recordset on an entry that
    // another program removed is Eof from the start.
    throw RuntimeError(err::NoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record (in '" + source_ + "').");
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
        // Locked, or the disk failed: said as the connection says it, not as a bad source.
        if ((rc & 0xff) != SQLITE_ERROR)
            activeConnection.fail(rc, "Cannot read '" + src + "'");
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

    stmt_ = active_ = stmt;
    source_ = src;
    columns_.clear();
    declTypes_.clear();
    table_.clear();
    keyColumn_ = -1;
    std::string keyName;
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
            && primaryKey && type && upper(type) == "INTEGER") {
            keyColumn_ = i;
            keyName = origin;
        }
    }
    writable_ = (lockType == adLockPessimistic || lockType == adLockOptimistic
                 || lockType == adLockBatchOptimistic)
        && keyColumn_ >= 0;
    if (writable_ && !isWholeTableOrOneRow(src, table_, keyName)) {
        stmt_ = nullptr;
        sqlite3_finalize(stmt);
        throw RuntimeError(err::BadSource, "A recordset that changes the logbook reads the whole table or one entry "
                                           "by its number (\"Select * from " + table_ + " where " + keyName
                                               + " =<number>\"), not '" + src + "'.");
    }

    // Only a forward-only reader keeps the engine's cursor open between moves; any other
    // cursor lets go of it after each row, so that an idle window holds no lock on the file.
    keepCursor_ = cursorType == adOpenUnspecified || cursorType == adOpenForwardOnly;
    conn_ = &activeConnection;
    conn_->attach(this);
    mode_ = EditMode::None;
    pending_.assign(columns_.size(), std::nullopt);
    parked_ = false;
    rowsRead_ = 0;
    keyOrder_ = KeyOrder::Unknown;
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
    if (parked_ && !resume()) {
        current_.clear();
        materialized_ = true;
        return false;
    }
    int rc = sqlite3_step(active_);
    if (rc == SQLITE_ROW) {
        current_.resize(columns_.size());
        materialized_ = false;
        if (!keepCursor_)
            materialize();
        ++rowsRead_;
        if (keyColumn_ >= 0)
            lastKey_ = sqlite3_column_int64(active_, keyColumn_);
        if (!keepCursor_) {
            sqlite3_reset(active_);
            parked_ = true;
        }
        return true;
    }
    // Reset at the end, so that a finished reader holds no transaction open.
    sqlite3_reset(active_);
    current_.clear();
    materialized_ = true;
    if (rc != SQLITE_DONE)
        conn_->fail(rc, "Cannot read '" + source_ + "'");
    return false;
}

// The engine's cursor was let go (after each row, or before a write on this connection);
// put it back behind the current record. A source that the engine reads in the order of
// the table's integer key (both of the program's statements) goes on from that key: one
// seek, and right whatever was added or deleted meanwhile. Any other source runs again
// and skips the rows already read, which is right only while those rows stay.
// False when the rows ran out on the way.
bool Recordset::resume()
{
    parked_ = false;
    if (readsInKeyOrder()) {
        if (!resume_) {
            const std::string sql = "SELECT * FROM (" + source_ + ") WHERE " + QuotedName(columns_[keyColumn_]) + " > ?1";
            if (sqlite3_prepare_v2(conn_->handle(), sql.c_str(), -1, &resume_, nullptr) != SQLITE_OK) {
                sqlite3_finalize(resume_);
                resume_ = nullptr;
            }
        }
        if (resume_) {
            sqlite3_reset(resume_);
            sqlite3_bind_int64(resume_, 1, lastKey_);
            active_ = resume_;
            return true;
        }
        keyOrder_ = KeyOrder::No;
    }
    active_ = stmt_;
    sqlite3_reset(stmt_);
    for (long long i = 0; i < rowsRead_; ++i) {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_DONE) {
            sqlite3_reset(stmt_);
            return false;
        }
        if (rc != SQLITE_ROW)
            conn_->fail(rc, "Cannot read '" + source_ + "'");
    }
    return true;
}

// Asked once: the engine's plan for the source is one walk over one table in the order of
// its integer key ("SCAN tblLog", or a search on that key), with no sorting of its own.
bool Recordset::readsInKeyOrder()
{
    if (keyOrder_ != KeyOrder::Unknown)
        return keyOrder_ == KeyOrder::Yes;
    keyOrder_ = KeyOrder::No;
    if (keyColumn_ < 0)
        return false;
    sqlite3_stmt* plan = nullptr;
    const std::string sql = "EXPLAIN QUERY PLAN " + source_;
    if (sqlite3_prepare_v2(conn_->handle(), sql.c_str(), -1, &plan, nullptr) != SQLITE_OK) {
        sqlite3_finalize(plan);
        return false;
    }
    int steps = 0;
    bool walk = false;
    while (sqlite3_step(plan) == SQLITE_ROW) {
        const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
        walk = detail == "SCAN " + table_ || detail.rfind("SEARCH " + table_ + " USING INTEGER PRIMARY KEY", 0) == 0;
        ++steps;
    }
    sqlite3_finalize(plan);
    if (steps == 1 && walk)
        keyOrder_ = KeyOrder::Yes;
    return keyOrder_ == KeyOrder::Yes;
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
        ReadValue(sqlite3_column_value(active_, i), current_[i]);
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
    sqlite3_value* v = sqlite3_column_value(active_, c);
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
    sqlite3_value* v = sqlite3_column_value(active_, c);
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
    if (active_ && hasCurrent_ && !parked_) {
        sqlite3_reset(active_);
        parked_ = true;
    }
}

void Recordset::Close()
{
    requireOpen();
    // A pending record or change is dropped, never stored: only Update writes.
    sqlite3_finalize(stmt_);
    sqlite3_finalize(resume_);
    stmt_ = resume_ = active_ = nullptr;
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
