#include "reliability/TwoCopies.h"

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "store/Logbook.h"
#include "store/RuntimeError.h"

namespace wt::reliability {

namespace {

// Far longer than any step takes, even while the other copy holds the file.
constexpr int kLineTimeoutMs = 60'000;
// A child still running after this long is stuck: it is ended and the test says so.
constexpr unsigned kCopySeconds = 240;

std::string Digits(int n, int width)
{
    std::string s = std::to_string(n);
    return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

} // namespace

void SetFields(store::Recordset& rs, const Fields& fields)
{
    for (const auto& [field, text] : fields)
        rs.setField(field, field == "nextday" ? store::Value(text == "1") : store::Value(text));
}

Fields NewEntry(char copy, int seq)
{
    const std::string tag = std::string(1, copy) + "#" + std::to_string(seq);
    std::string remarks = "Remarks of " + tag + ": \"quoted\", 'single', ; -- Zürich ✈ שלום\n";
    while (remarks.size() < 1000)
        remarks += static_cast<char>('a' + (remarks.size() + seq) % 26);
    remarks.resize(1000);
    std::string route = "DCT " + tag + " UL607 ";
    route += std::string(200 + seq % 100, 'R');
    const char* rules[] = {"IFR", "VFR", "SVFR", "Y (IFR then VFR)"};
    return {
        {"date", std::to_string(2000 + seq % 30) + "-" + Digits(1 + seq % 12, 2) + "-" + Digits(1 + seq % 28, 2)},
        {"departure", "From " + tag + " 'EDDF'"},
        {"timeDeparture", Digits(seq % 24, 2) + ":" + Digits(seq % 60, 2)},
        {"destination", "To " + tag + " \"KJFK\""},
        {"timeArrival", Digits((seq + 7) % 24, 2) + ":" + Digits((seq * 7) % 60, 2)},
        {"nextday", seq % 2 ? "1" : "0"},
        {"flighttime", Digits(seq % 10, 2) + ":30"},
        {"aircraft", "B744 " + tag},
        {"airline", std::string(copy == 'A' ? "Lufthansa " : "Ελληνικά ") + tag},
        {"callsign", (std::string(1, copy) + "CS" + std::to_string(seq)).substr(0, 10)},
        {"flightrule", rules[seq % 4]},
        {"pax", std::to_string(seq % 500)},
        {"cargo", std::to_string(seq * 1000)},
        {"remarks", remarks},
        {"route", route},
    };
}

Fields Edit(char copy, int seq)
{
    const std::string tag = std::string(1, copy) + " edit " + std::to_string(seq);
    if (copy == 'A')
        return {{"remarks", "Remarks changed by " + tag + " ✈"}, {"pax", std::to_string(1000 + seq)}};
    return {{"route", "Route changed by " + tag + " ✈"}, {"cargo", std::to_string(2000 + seq)}};
}

Copy::Copy(const std::string& programFolder)
{
    conLog_.setConnectionString(logbook::ConnectionString(programFolder));
}

void Copy::fileEntries(const std::vector<Fields>& entries, const std::function<void(std::int64_t)>& onSaved)
{
    conLog_.Open();
    rsLog_.Open(logbook::kSelectAll, conLog_, store::adOpenStatic, store::adLockOptimistic);
    rsLog_.AddNew();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SetFields(rsLog_, entries[i]);
        rsLog_.Update();
        if (onSaved)
            onSaved(rsLog_.Fields("logid").toInteger());
        if (i + 1 < entries.size())
            rsLog_.AddNew();
    }
    rsLog_.CancelUpdate();
    rsLog_.Close();
    conLog_.Close();
}

void Copy::openOverview()
{
    conLog_.Open();
    fillList();
}

void Copy::closeOverview()
{
    rsLog_.Close();
    conLog_.Close();
}

void Copy::fillList()
{
    rsLog_.Open(logbook::kSelectAll, conLog_);
    ids_.clear();
    for (; !rsLog_.Eof(); rsLog_.MoveNext())
        ids_.push_back(rsLog_.Fields("logid").toInteger());
}

void Copy::refill()
{
    rsLog_.Close();
    fillList();
}

bool Copy::edit(std::int64_t logid, const Fields& changes, const std::function<void()>& whileShown)
{
    store::Recordset rsEdit;
    rsEdit.Open(logbook::SelectById(logid), conLog_, store::adOpenStatic, store::adLockPessimistic);
    const bool there = !rsEdit.Eof();
    if (there) {
        if (whileShown)
            whileShown();
        SetFields(rsEdit, changes);
        rsEdit.Update();
    }
    rsEdit.CancelUpdate();
    rsEdit.Close();
    refill();
    return there;
}

bool Copy::remove(std::int64_t logid, const std::function<void()>& beforeDelete)
{
    rsLog_.Close();
    rsLog_.Open(logbook::SelectById(logid), conLog_, store::adOpenDynamic, store::adLockPessimistic);
    const bool there = !rsLog_.Eof();
    if (there) {
        if (beforeDelete)
            beforeDelete();
        rsLog_.Delete(store::adAffectCurrent);
    }
    refill();
    return there;
}

OtherCopy::OtherCopy(std::function<void(OtherCopy&)> run)
{
    int toTest[2], toCopy[2];
    if (::pipe(toTest) != 0 || ::pipe(toCopy) != 0)
        throw std::runtime_error("no pipe");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("no fork");
    if (pid_ == 0) {
        ::close(toTest[0]);
        ::close(toCopy[1]);
        in_ = toCopy[0];
        out_ = toTest[1];
        ::alarm(kCopySeconds);
        int status = 0;
        try {
            run(*this);
        } catch (const store::RuntimeError& e) {
            say("uncaught " + ErrorLine(e));
            status = 2;
        } catch (const std::exception& e) {
            say(std::string("uncaught exception ") + e.what());
            status = 3;
        }
        // Nothing of the test's process may run down here: no destructors, no atexit.
        ::_exit(status);
    }
    ::close(toTest[1]);
    ::close(toCopy[0]);
    in_ = toTest[0];
    out_ = toCopy[1];
}

OtherCopy::~OtherCopy()
{
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(in_);
    ::close(out_);
}

void OtherCopy::say(const std::string& line)
{
    std::string text = line;
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    text += '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(out_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string OtherCopy::hear()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineTimeoutMs);
    for (;;) {
        if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {};
        pollfd p{in_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return {};
        char chunk[4096];
        const ssize_t n = ::read(in_, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

int OtherCopy::exitStatus()
{
    if (reaped_)
        return status_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kCopySeconds + 10);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

std::string ErrorLine(const store::RuntimeError& e) { return std::to_string(e.number()) + " " + e.description(); }

std::map<std::int64_t, Fields> ReadEntries(const std::string& databasePath)
{
    sqlite3* db = nullptr;
    std::map<std::int64_t, Fields> out;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT * FROM tblLog", -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                Fields row;
                std::int64_t logid = 0;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const std::string name = sqlite3_column_name(st, i);
                    if (name == "logid")
                        logid = sqlite3_column_int64(st, i);
                    else if (sqlite3_column_type(st, i) != SQLITE_NULL)
                        row[name] = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                }
                out[logid] = std::move(row);
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

std::string IntegrityCheck(const std::string& databasePath)
{
    sqlite3* db = nullptr;
    std::string answer = "cannot open";
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        answer.clear();
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                answer += std::string(answer.empty() ? "" : "; ") + reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return answer;
}

} // namespace wt::reliability
