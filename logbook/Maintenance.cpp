#include "logbook/Maintenance.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "logbook/Logbook.h"
#include "logbook/Values.h"
#include "store/Logbook.h"

namespace wtlog {

namespace fs = std::filesystem;

namespace {

struct Db {
    sqlite3* db = nullptr;
    ~Db() { sqlite3_close_v2(db); }
};

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

std::vector<std::string> integrity(sqlite3* db)
{
    std::vector<std::string> out;
    Statement s;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s.st, nullptr) != SQLITE_OK)
        return {sqlite3_errmsg(db)};
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 0));
        if (!t || std::strcmp(t, "ok") != 0)
            out.emplace_back(t ? t : "?");
    }
    if (rc != SQLITE_DONE)
        out.emplace_back(sqlite3_errmsg(db));
    return out;
}

void syncPath(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::vector<std::pair<std::string, std::string>> columns(sqlite3* db)
{
    std::vector<std::pair<std::string, std::string>> out;
    Statement s;
    if (sqlite3_prepare_v2(db, "PRAGMA table_info(tblLog)", -1, &s.st, nullptr) != SQLITE_OK)
        return out;
    while (sqlite3_step(s.st) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 2));
        out.emplace_back(name ? name : "", type ? type : "");
    }
    return out;
}

} // namespace

std::int64_t Backup(store::Connection& source, const std::string& dest, bool overwrite)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dest, ec)) && !overwrite)
        throw Refused(dest + ": it exists already; give --force to overwrite it");
    if (fs::is_directory(dest, ec))
        throw Refused(dest + ": it is a folder");
    const std::string part = dest + ".part-" + std::to_string(::getpid());
    fs::remove(part, ec);
    struct Cleanup {
        const std::string& path;
        bool keep = false;
        ~Cleanup()
        {
            if (!keep) {
                std::error_code e;
                fs::remove(path, e);
                fs::remove(path + "-journal", e);
            }
        }
    } cleanup{part};

    Db copy;
    if (sqlite3_open_v2(part.c_str(), &copy.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        throw Refused(dest + ": cannot be written: " + (copy.db ? sqlite3_errmsg(copy.db) : "out of memory"));
    sqlite3_backup* backup = sqlite3_backup_init(copy.db, "main", source.handle(), "main");
    if (!backup)
        throw Refused(dest + ": cannot start the copy: " + sqlite3_errmsg(copy.db));
    // All pages in one step: the copy is of one moment of the file. A writer of another
    // program holding the file at that moment makes the step wait and try again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(store::kBusyTimeoutMs);
    int rc;
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED || rc == SQLITE_OK) {
        if (std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw Refused(source.dataSource() + ": the logbook stayed locked by another program; nothing was copied");
        throw Refused(dest + ": the copy failed: " + sqlite3_errstr(rc));
    }
    const auto problems = integrity(copy.db);
    if (!problems.empty())
        throw Refused(dest + ": the copy fails integrity_check: " + problems.front());
    std::int64_t entries = 0;
    {
        Statement s;
        if (sqlite3_prepare_v2(copy.db, "SELECT count(*) FROM tblLog", -1, &s.st, nullptr) == SQLITE_OK
            && sqlite3_step(s.st) == SQLITE_ROW)
            entries = sqlite3_column_int64(s.st, 0);
    }
    if (sqlite3_close(copy.db) != SQLITE_OK)
        throw Refused(dest + ": the copy could not be closed");
    copy.db = nullptr;
    syncPath(part, O_RDONLY);
    fs::rename(part, dest, ec);
    if (ec)
        throw Refused(dest + ": cannot be written: " + ec.message());
    cleanup.keep = true;
    const std::string folder = fs::path(dest).parent_path().string();
    syncPath(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    return entries;
}

CheckReport Check(store::Connection& connection)
{
    CheckReport report;
    auto add = [&](const char* what, std::string text) {
        if (report.findings.size() < CheckReport::kListed)
            report.findings.push_back({what, std::move(text)});
        ++report.findingCount;
    };
    sqlite3* db = connection.handle();
    for (auto& p : integrity(db))
        add("integrity", p);

    Db reference;
    sqlite3_open_v2(":memory:", &reference.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(reference.db, logbook::kSchema, nullptr, nullptr, nullptr);
    const auto want = columns(reference.db);
    const auto have = columns(db);
    if (have.empty()) {
        add("shape", "the logbook has no table tblLog");
        return report;
    }
    for (const auto& [name, type] : want) {
        bool found = false;
        for (const auto& [n, t] : have)
            if (sqlite3_stricmp(n.c_str(), name.c_str()) == 0) {
                found = true;
                if (sqlite3_stricmp(t.c_str(), type.c_str()) != 0)
                    add("shape", "the field " + name + " is declared " + (t.empty() ? "without a type" : t)
                                     + ", not " + type);
            }
        if (!found)
            add("shape", "the field " + name + " is missing");
    }
    for (const auto& [n, t] : have) {
        bool known = false;
        for (const auto& w : want)
            known = known || sqlite3_stricmp(n.c_str(), w.first.c_str()) == 0;
        if (!known)
            add("shape", "the table has a field " + n + " the logbook does not know");
    }

    Statement s;
    int rc = sqlite3_prepare_v2(db, "SELECT logid, date, pax, cargo, nextday FROM tblLog ORDER BY logid", -1, &s.st,
                                nullptr);
    if (rc != SQLITE_OK) {
        add("shape", std::string("the table cannot be read: ") + sqlite3_errmsg(db));
        return report;
    }
    auto shown = [&](int c) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s.st, c));
        return std::string(t ? t : "");
    };
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        ++report.entries;
        const std::string id = "entry " + shown(0);
        if (sqlite3_column_type(s.st, 0) != SQLITE_INTEGER || sqlite3_column_int64(s.st, 0) > 32767
            || sqlite3_column_int64(s.st, 0) < 1)
            add("value", id + ": its number cannot be chosen in the edit window (it takes 1 to 32767)");
        if (sqlite3_column_type(s.st, 1) == SQLITE_NULL)
            add("value", id + ": it has no date");
        else if (sqlite3_column_type(s.st, 1) != SQLITE_TEXT || !IsIsoDate(shown(1)))
            add("value", id + ": the date '" + shown(1) + "' is not a date");
        for (int c : {2, 3}) {
            const int type = sqlite3_column_type(s.st, c);
            if (type != SQLITE_NULL && type != SQLITE_INTEGER)
                add("value", id + ": the " + (c == 2 ? "passengers" : "cargo") + " '" + shown(c)
                                 + "' is not a whole number");
        }
        const int flag = sqlite3_column_type(s.st, 4);
        if (flag != SQLITE_NULL && (flag != SQLITE_INTEGER || sqlite3_column_int64(s.st, 4) < 0
                                    || sqlite3_column_int64(s.st, 4) > 1))
            add("value", id + ": the next-day mark '" + shown(4) + "' is neither yes nor no");
    }
    if (rc != SQLITE_DONE)
        add("integrity", std::string("the table cannot be read to its end: ") + sqlite3_errmsg(db));
    return report;
}

} // namespace wtlog
