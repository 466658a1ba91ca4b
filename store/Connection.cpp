#include "store/Connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "store/Recordset.h"
#include "store/RuntimeError.h"
#include "store/Text.h"

namespace store {

namespace {

std::string trim(std::string_view s)
{
    auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    auto e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

std::uint32_t bigEndian(const unsigned char* p, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// The file must be there and be a plain file with something in it: the engine would block
// on a named pipe, and takes an empty file for an empty database that its first write
// would fill.
void requireFile(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw RuntimeError(err::DatabaseEngine, "Could not find file '" + path + "'.");
    if (!fs::is_regular_file(status))
        throw RuntimeError(err::DatabaseEngine, "'" + path + "' is not a file.");
    if (fs::file_size(path, ec) == 0 && !ec)
        throw RuntimeError(err::NotADatabase, "The file '" + path + "' is not a logbook database: it is empty.");
}

// A logbook the user cannot write would open fine and fail at the first Save, with the
// flight already typed; so it fails here. The engine writes the file and, beside it, a
// journal for every change.
void requireWritable(const std::string& path)
{
    namespace fs = std::filesystem;
    const std::string cannot = "The logbook file '" + path + "' cannot be written";
    auto reason = [](int e) {
        return e == EROFS ? std::string("it lies on a read-only file system") : std::string(std::strerror(e));
    };
    if (::access(path.c_str(), R_OK | W_OK) != 0)
        throw RuntimeError(err::PathFileAccess, cannot + ": " + reason(errno) + ".");
    std::string folder = fs::path(path).parent_path().string();
    if (folder.empty())
        folder = ".";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw RuntimeError(err::PathFileAccess, cannot + ": its folder '" + folder + "' does not let us make the "
                                                    "journal the engine keeps beside it (" + reason(errno) + ").");
}

// SQLite reads a truncated file until it reaches the missing pages, so a truncated file
// is refused at open. Judged only after the engine has had its first look, which rolls
// back a journal a crash left behind: until then a file may rightly be shorter than its
// header says.
void checkLooksComplete(sqlite3* db, const std::string& path)
{
    // Read through the engine's own handle on the file: closing a second one would drop
    // every lock this process holds on it (POSIX locks belong to the process and file).
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    std::array<unsigned char, 100> header{};
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods
        || file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        throw RuntimeError(err::DatabaseEngine, "Cannot read the file '" + path + "'.");
    const std::string notDb = "The file '" + path + "' is not a logbook database";
    static constexpr char kMagic[] = "SQLite format 3";
    if (size < 100 || file->pMethods->xRead(file, header.data(), static_cast<int>(header.size()), 0) != SQLITE_OK
        || !std::equal(kMagic, kMagic + 16, header.begin()))
        throw RuntimeError(err::NotADatabase, notDb + ".");
    std::uint32_t pageSize = bigEndian(&header[16], 2);
    if (pageSize == 1)
        pageSize = 65536;
    const auto pageCount = bigEndian(&header[28], 4);
    const bool countValid = pageCount != 0 && bigEndian(&header[24], 4) == bigEndian(&header[92], 4);
    // With a write-ahead log beside it the main file may rightly be shorter.
    std::error_code ec;
    const bool hasWal = std::filesystem::exists(path + "-wal", ec);
    if (countValid && !hasWal && static_cast<std::uint64_t>(size) < std::uint64_t(pageSize) * pageCount)
        throw RuntimeError(err::NotADatabase, notDb + ": the file is truncated.");
}

} // namespace

// Settings are "key=value" separated by ";". A value that holds a ";", a quote or
// blanks at its ends is written in double quotes, a quote inside doubled (single quotes
// work alike), so that a folder name may hold any character.
ConnectionString ConnectionString::parse(std::string_view text)
{
    ConnectionString out;
    bool haveProvider = false, haveSource = false;
    std::size_t pos = 0;
    auto malformed = [&](std::string_view at) {
        return RuntimeError(err::BadConnectionString, "The connection string is malformed at '" + std::string(at) + "'.");
    };
    while (pos < text.size()) {
        const auto eq = text.find('=', pos);
        const auto semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            const auto part = text.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos);
            if (!trim(part).empty())
                throw malformed(part);
            pos = semi == std::string_view::npos ? text.size() : semi + 1;
            continue;
        }
        const std::string key = trim(text.substr(pos, eq - pos));
        std::size_t v = text.find_first_not_of(" \t", eq + 1);
        std::string value;
        if (v != std::string_view::npos && (text[v] == '"' || text[v] == '\'')) {
            const char quote = text[v];
            std::size_t i = v + 1;
            for (;; ++i) {
                if (i >= text.size())
                    throw malformed(text.substr(pos));
                if (text[i] == quote) {
                    if (i + 1 < text.size() && text[i + 1] == quote) {
                        value += quote;
                        ++i;
                        continue;
                    }
                    break;
                }
                value += text[i];
            }
            const auto after = text.find_first_not_of(" \t", i + 1);
            if (after != std::string_view::npos && text[after] != ';')
                throw malformed(text.substr(pos));
            pos = after == std::string_view::npos ? text.size() : after + 1;
        } else {
            const auto end = text.find(';', eq + 1);
            value = trim(text.substr(eq + 1, end == std::string_view::npos ? std::string_view::npos : end - eq - 1));
            pos = end == std::string_view::npos ? text.size() : end + 1;
        }
        if (EqualsNoCase(key, "Provider")) {
            if (!EqualsNoCase(value, kProvider))
                throw RuntimeError(err::BadConnectionString, "Provider cannot be found: '" + value + "'.");
            haveProvider = true;
        } else if (EqualsNoCase(key, "Data Source")) {
            out.dataSource = value;
            haveSource = !value.empty();
        } else if (EqualsNoCase(key, "Persist Security Info")) {
            // Accepted and ignored: the logbook holds no credentials.
        } else {
            throw RuntimeError(err::BadConnectionString, "The connection string has an unknown setting '" + key + "'.");
        }
    }
    if (!haveProvider)
        throw RuntimeError(err::BadConnectionString, "The connection string names no provider.");
    if (!haveSource)
        throw RuntimeError(err::BadConnectionString, "The connection string names no data source.");
    return out;
}

std::string ConnectionString::quote(std::string_view value)
{
    const bool plain = value.find_first_of(";\"'") == std::string_view::npos && !value.empty()
        && value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t';
    return plain ? std::string(value) : QuotedName(value);
}

Connection::~Connection()
{
    try {
        Close();
    } catch (...) {
    }
}

void Connection::setConnectionString(std::string text)
{
    if (isOpen())
        throw RuntimeError(err::ObjectOpen, "Operation is not allowed when the object is open.");
    connectionString_ = std::move(text);
}

void Connection::Open(std::string_view connectionString)
{
    if (isOpen())
        throw RuntimeError(err::ObjectOpen, "Operation is not allowed when the object is open.");
    if (!connectionString.empty())
        connectionString_ = std::string(connectionString);
    const auto parsed = ConnectionString::parse(connectionString_);
    const std::string& path = parsed.dataSource;
    requireFile(path);
    requireWritable(path);

    sqlite3* db = nullptr;
    // Never SQLITE_OPEN_CREATE: the program does not make logbooks, it opens them.
    // NOMUTEX: a connection is used by the one thread that opened it, so the engine need
    // not lock on every call (a list fill makes some twenty calls a record).
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw RuntimeError(err::DatabaseEngine, "Cannot open the logbook file '" + path + "': " + msg + ".");
    }
    sqlite3_extended_result_codes(db, 1);
    // Long enough for another program's write to finish, short enough to say so.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // A Save is on disk when it returns: the rollback journal is synced before the file
    // is written, and its deletion, which is the commit, is synced in the folder too.
    // Reading the schema is the engine's first look at the file: it rolls back what a
    // crash left half done, and proves now, not at the first query, that this is a
    // database we can read. It runs in a write transaction, which proves that we may
    // write (no other program holds the file) and keeps every other writer out while we
    // look at the file ourselves: in the middle of another copy's commit a sound file can
    // be shorter than its new header says.
    char* errmsg = nullptr;
    rc = sqlite3_exec(db, "PRAGMA synchronous=EXTRA; BEGIN IMMEDIATE; SELECT count(*) FROM sqlite_master;", nullptr,
                      nullptr, &errmsg);
    if (rc == SQLITE_OK && sqlite3_db_readonly(db, "main") == 1)
        rc = SQLITE_READONLY;
    if (rc != SQLITE_OK) {
        const std::string msg = errmsg ? errmsg : sqlite3_errstr(rc);
        sqlite3_free(errmsg);
        sqlite3_close(db);
        switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw RuntimeError(err::DatabaseEngine, "The logbook file '" + path + "' is locked by another program.");
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            throw RuntimeError(err::PathFileAccess, "The logbook file '" + path + "' cannot be written (" + msg + ").");
        default:
            throw RuntimeError(err::NotADatabase,
                               "The file '" + path + "' is not a logbook database we can read: " + msg + ".");
        }
    }
    try {
        checkLooksComplete(db, path);
    } catch (...) {
        sqlite3_close(db); // rolls the empty transaction back
        throw;
    }
    // Nothing was written: the look ends with ROLLBACK, which lets go of the write lock at
    // once. A COMMIT would wait for the exclusive lock, that is for every other program's
    // reader to finish, and a long read elsewhere would keep the logbook from opening.
    rc = sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        throw RuntimeError(err::DatabaseEngine, "Cannot open the logbook file '" + path + "': " + sqlite3_errstr(rc) + ".");
    }
    db_ = db;
    dataSource_ = path;
}

void Connection::Close()
{
    if (!db_)
        throw RuntimeError(err::ObjectClosed, "Operation is not allowed when the object is closed.");
    // Closing the connection closes what was opened over it.
    auto open = std::vector<Recordset*>(recordsets_.begin(), recordsets_.end());
    for (auto* rs : open)
        rs->Close();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

sqlite3* Connection::handle() const
{
    if (!db_)
        throw RuntimeError(err::ConnectionUnusable,
                           "The connection cannot be used to perform this operation. "
                           "It is either closed or invalid in this context.");
    return db_;
}

// An open read cursor keeps SQLite's automatic transaction alive, which would hold back
// the commit of a write on the same connection. Before writing we reset every reader;
// each resumes where it stood when it next moves.
Connection::WriteTransaction::WriteTransaction(Connection& connection) : connection_(connection)
{
    sqlite3* db = connection_.handle();
    for (auto* rs : connection_.recordsets_)
        rs->park();
    // IMMEDIATE: the write lock is taken, or waited for, here, never half way through.
    const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        connection_.fail(rc, "Cannot begin the change");
}

Connection::WriteTransaction::~WriteTransaction()
{
    if (!committed_)
        connection_.abandonTransaction();
}

void Connection::WriteTransaction::commit()
{
    const int rc = sqlite3_exec(connection_.handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        connection_.fail(rc, "The change could not be committed");
    committed_ = true;
}

// A failed write, or a commit that could not wait long enough for another program's
// reader, leaves the transaction open: dropped, as the error says, so that the connection
// is clean for what the user does next.
void Connection::abandonTransaction() const
{
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::fail(int rc, const std::string& what) const
{
    const std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    abandonTransaction();
    std::string text;
    switch (rc & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        text = what + ": the logbook file '" + dataSource_ + "' cannot be written (" + msg + ").";
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        text = what + ": the logbook file '" + dataSource_ + "' is locked by another program.";
        break;
    case SQLITE_FULL:
        text = what + ": the disk holding '" + dataSource_ + "' is full.";
        break;
    case SQLITE_CONSTRAINT:
        text = what + ": the logbook refused the value (" + msg + ").";
        break;
    default:
        text = what + ": " + msg + " (" + dataSource_ + ").";
    }
    throw RuntimeError(err::DatabaseEngine, text);
}

} // namespace store
