#pragma once
// A recordset in the shape of the classic data-access Recordset: opened on one SQL
// statement over an open Connection, with a current record, AddNew / Update /
// CancelUpdate / Delete, EOF and MoveNext, and fields looked up by name without regard
// to case. Rows are read from the engine one at a time as the cursor moves, so opening a
// recordset over a million rows costs no more than opening it over one.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/Value.h"

struct sqlite3_stmt;

namespace store {

class Connection;

// Cursor and lock types, numbered as the classic objects number them.
enum CursorType : int { adOpenUnspecified = -1, adOpenForwardOnly = 0, adOpenKeyset = 1,
                        adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int { adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2,
                      adLockOptimistic = 3, adLockBatchOptimistic = 4 };
enum AffectEnum : long { adAffectCurrent = 1 };
enum class EditMode { None, InProgress, AddNew };

class Recordset {
public:
    Recordset() = default;
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // The source must be exactly one statement that reads rows; anything after it is refused.
    // An unspecified or read-only lock gives a recordset that can only be read.
    void Open(std::string_view source, Connection& activeConnection,
              int cursorType = adOpenUnspecified, int lockType = adLockUnspecified);
    void Close();
    bool isOpen() const { return conn_ != nullptr; }

    void AddNew();
    void Update();
    void CancelUpdate();
    void Delete(long affectRecords = adAffectCurrent);
    bool Eof() const;
    void MoveNext();

    // The current record's value of a field (pending changes included).
    Value Fields(std::string_view name) const;
    // For readers that visit many records: the field's position, found by name as Fields
    // finds it, and the current record's value at that position without a copy. The
    // reference holds until the record changes.
    int fieldIndex(std::string_view name) const;
    const Value& field(int index) const;
    // The current record's value of a field as text (numbers in decimal notation), or
    // nullopt for Null. Reading a whole table front to back this way copies nothing: the
    // text is the engine's own and stays valid until the cursor moves or the record changes.
    std::optional<std::string_view> fieldText(int index) const;
    // The same yes/no reading as field(index).isTrue(), without copying the record.
    bool fieldIsTrue(int index) const;
    // Changes a field of the current record; stored by Update, dropped by CancelUpdate.
    void setField(std::string_view name, Value value);
    // AddNew while the current record is a new one not yet stored; InProgress once a field
    // of a stored record has been changed; None otherwise.
    EditMode editMode() const { return mode_; }
    std::vector<std::string> fieldNames() const { return columns_; }

    // Told after every change of the current record or of its values from our side
    // (open, add new, move, update, cancel, delete) and when the recordset closes.
    using Listener = std::function<void()>;
    int subscribe(Listener listener);
    void unsubscribe(int token);

    // The connection parks our read cursor before it writes (see Connection::WriteTransaction).
    void park();

private:
    [[noreturn]] void noCurrent() const;
    void requireOpen() const;
    void requireWritable(const char* operation) const; // the operation is named in the error
    void requireCurrent() const;
    int column(std::string_view name) const;
    bool step();            // reads the next row into current_; false at the end
    bool resume();
    bool readsInKeyOrder();
    // The fields of a row that a write returned, by name, into a record of ours.
    void readStored(sqlite3_stmt* row, std::vector<Value>& into) const;
    // Raises ValueRefused for a write a constraint of the table refused, naming the field.
    [[noreturn]] void refuseForConstraint(int rc) const;
    void notify();

    Connection* conn_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;    // the source as given
    sqlite3_stmt* resume_ = nullptr;  // the source from a key on, made when first needed
    sqlite3_stmt* active_ = nullptr;  // the one of the two the cursor stands in
    std::string source_;
    bool writable_ = false;
    bool keepCursor_ = true;
    std::vector<std::string> columns_;
    std::vector<std::string> declTypes_;
    std::string table_;   // the one table every column comes from; empty when not writable
    int keyColumn_ = -1;  // the table's integer primary key among the columns

    void materialize() const;

    mutable std::vector<Value> current_;
    mutable bool materialized_ = true;
    mutable std::string textScratch_;
    bool hasCurrent_ = false;
    bool currentDeleted_ = false;
    bool parked_ = false;       // the engine's cursor was let go; see resume()
    long long rowsRead_ = 0;
    std::int64_t lastKey_ = 0;  // the key of the last row read
    enum class KeyOrder { Unknown, Yes, No } keyOrder_ = KeyOrder::Unknown;
    std::vector<std::optional<Value>> pending_;
    EditMode mode_ = EditMode::None;
    // The record current before AddNew, restored by CancelUpdate.
    std::vector<Value> savedCurrent_;
    bool savedHasCurrent_ = false;

    std::map<int, Listener> listeners_;
    int nextToken_ = 1;
};

} // namespace store
