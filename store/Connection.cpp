#include "store/Connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
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

// SQLite treats an empty file as an empty database and reads a truncated one until it
// reaches the missing pages. The program must refuse both when it opens the file, so we
// look at the file's header ourselves before the engine does.
void checkLooksLikeDatabase(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw RuntimeError(err::DatabaseEngine, "Could not find file '" + path + "'.");
    if (!fs::is_regular_file(status))
        throw RuntimeError(err::DatabaseEngine, "'" + path + "' is not a file.");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw RuntimeError(err::DatabaseEngine, "Cannot read the file '" + path + "'.");
    auto size = fs::file_size(path, ec);
    if (ec)
        throw RuntimeError(err::DatabaseEngine, "Cannot read the file '" + path + "'.");
    const std::string notDb = "The file '" + path + "' is not a logbook database";
    if (size == 0)
        throw RuntimeError(err::NotADatabase, notDb + ": it is empty.");
    std::array<unsigned char, 100> header{};
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    static constexpr char kMagic[] = "SQLite format 3";
    if (in.gcount() < 100 || !std::equal(kMagic, kMagic + 16, header.begin()))
        throw RuntimeError(err::NotADatabase, notDb + ".");
    std::uint32_t pageSize = bigEndian(&header[16], 2);
    if (pageSize == 1)
        pageSize = 65536;
    const auto pageCount = bigEndian(&header[28], 4);
    const bool countValid = pageCount != 0 && bigEndian(&header[24], 4) == bigEndian(&header[92], 4);
    // With a write-ahead log beside it the main file may legitimately be shorter.
    const bool hasWal = fs::exists(path + "-wal", ec);
    if (countValid && !hasWal && size < std::uintmax_t(pageSize) * pageCount)
        throw RuntimeError(err::NotADatabase, notDb + ": the file is truncated.");
}

} // namespace

ConnectionString ConnectionString::parse(std::string_view text)
{
    ConnectionString out;
    bool haveProvider = false, haveSource = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find(';', pos);
        if (end == std::string_view::npos)
            end = text.size();
        auto part = text.substr(pos, end - pos);
        pos = end + 1;
        if (trim(part).empty())
            continue;
        auto eq = part.find('=');
        if (eq == std::string_view::npos)
            throw RuntimeError(err::BadConnectionString,
                               "The connection string is malformed at '" + std::string(part) + "'.");
        auto key = trim(part.substr(0, eq));
        auto value = trim(part.substr(eq + 1));
        if (EqualsNoCase(key, "Provider")) {
            if (!EqualsNoCase(value, kProvider))
                throw RuntimeError(err::BadConnectionString,
                                   "Provider cannot be found: '" + value + "'.");
            haveProvider = true;
        } else if (EqualsNoCase(key, "Data Source")) {
            out.dataSource = value;
            haveSource = !value.empty();
        } else if (EqualsNoCase(key, "Persist Security Info")) {
            // Accepted and ignored: the logbook holds no credentials.
        } else {
            throw RuntimeError(err::BadConnectionString,
                               "The connection string has an unknown setting '" + key + "'.");
        }
    }
    if (!haveProvider)
        throw RuntimeError(err::BadConnectionString, "The connection string names no provider.");
    if (!haveSource)
        throw RuntimeError(err::BadConnectionString, "The connection string names no data source.");
    return out;
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
    checkLooksLikeDatabase(parsed.dataSource);

    sqlite3* db = nullptr;
    // Never SQLITE_OPEN_CREATE: the program does not make logbooks, it opens them.
    // NOMUTEX: a connection is used by the one thread that opened it, so the engine need
    // not lock on every call (a list fill makes some twenty calls a record).
    int rc = sqlite3_open_v2(parsed.dataSource.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw RuntimeError(err::DatabaseEngine,
                           "Cannot open the logbook file '" + parsed.dataSource + "': " + msg + ".");
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    // Reading the schema proves now, not at the first query, that this is a database we
    // can read. A Save must be on disk when it returns: full sync on every commit.
    char* errmsg = nullptr;
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master; PRAGMA synchronous=FULL;", nullptr,
                      nullptr, &errmsg);
    if (rc != SQLITE_OK) {
        std::string msg = errmsg ? errmsg : sqlite3_errstr(rc);
        sqlite3_free(errmsg);
        sqlite3_close(db);
        throw RuntimeError(err::NotADatabase, "The file '" + parsed.dataSource
                                                  + "' is not a logbook database we can read: " + msg + ".");
    }
    db_ = db;
    dataSource_ = parsed.dataSource;
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
void Connection::beforeWrite()
{
    for (auto* rs : recordsets_)
        rs->park();
}

void Connection::afterWrite()
{
    if (!sqlite3_get_autocommit(handle()))
        throw RuntimeError(err::DatabaseEngine,
                           "The change to '" + dataSource_ + "' could not be committed.");
}

void Connection::fail(int rc, const std::string& what) const
{
    const std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
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
