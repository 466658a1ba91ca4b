#pragma once
// A connection to one logbook file, in the shape of the classic data-access Connection:
// a connection string, Open and Close, reopenable. Implemented on SQLite.
#include <set>
#include <string>
#include <string_view>

struct sqlite3;

namespace store {

class Recordset;

// The provider text the program has always used; the engine underneath is SQLite.
inline constexpr std::string_view kProvider = "Microsoft.Jet.OLEDB.4.0";

// The parts of a connection string that we honour. Parsing throws RuntimeError for an
// unknown provider, an unknown key or a missing data source.
struct ConnectionString {
    std::string dataSource;
    static ConnectionString parse(std::string_view text);
    // A value as it must be written into a connection string: as it is, or in double
    // quotes when it holds a ";", a quote or blanks at its ends.
    static std::string quote(std::string_view value);
};

// How long a statement waits for another program's lock on the file before it fails.
inline constexpr int kBusyTimeoutMs = 10000;

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(std::string text);
    const std::string& connectionString() const { return connectionString_; }

    // Opens the file named by the connection string (the one given here, or the one set
    // before when this is empty). The file must exist and be a database we can read and
    // write: a missing file, a folder, an empty or truncated file, random bytes, a file or
    // folder the user cannot write, or a file another program keeps locked for longer than
    // kBusyTimeoutMs all fail here. What a crash left half written is rolled back first.
    void Open(std::string_view connectionString = {});
    void Close();
    bool isOpen() const { return db_ != nullptr; }

    // The file the open connection works on.
    const std::string& dataSource() const { return dataSource_; }

    // For the recordsets of this connection.
    sqlite3* handle() const;
    void attach(Recordset* rs) { recordsets_.insert(rs); }
    void detach(Recordset* rs) { recordsets_.erase(rs); }
    // A recordset's write runs in a transaction of its own, which waits for other
    // programs' locks like any statement: begun once every reader of the connection has
    // let go of the engine's cursor (see Connection.cpp), committed by commit(), and
    // rolled back when it goes without (the write failed: nothing of it is stored).
    class WriteTransaction {
    public:
        explicit WriteTransaction(Connection& connection);
        ~WriteTransaction();
        WriteTransaction(const WriteTransaction&) = delete;
        WriteTransaction& operator=(const WriteTransaction&) = delete;
        void commit();

    private:
        Connection& connection_;
        bool committed_ = false;
    };
    // Raises the RuntimeError that names what failed and why, in the user's terms.
    [[noreturn]] void fail(int rc, const std::string& what) const;

private:
    void abandonTransaction() const;

    std::string connectionString_;
    std::string dataSource_;
    sqlite3* db_ = nullptr;
    std::set<Recordset*> recordsets_;
};

} // namespace store
