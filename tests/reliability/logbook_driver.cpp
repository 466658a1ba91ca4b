// wt-logbook-driver: works on a logbook through the real store code, as the windows do,
// and reports each Save, edit and delete on stdout once it has returned, so that a test
// can kill it at any moment and then check that everything reported is in the file.
//
//   wt-logbook-driver fill FOLDER N          files N entries (keys 1..N) like the new-entry window
//   wt-logbook-driver save FOLDER K          files one entry with key K
//   wt-logbook-driver edit FOLDER LOGID K    rewrites an entry like the edit window
//   wt-logbook-driver delete FOLDER LOGID    deletes an entry like the overview's Delete
//   wt-logbook-driver churn FOLDER SEED      files, edits and deletes at random until killed
//   wt-logbook-driver open FOLDER            the start-up open: exit 0, or the error and 1
//   wt-logbook-driver verify FOLDER REPORT   integrity_check, then every reported change
//
// An entry's fields all follow from its key K, so a row can be checked by itself. The
// report has "saving K" / "saved LOGID K" (and the same for editing and deleting) around
// each operation; what was begun and not reported may or may not be in the file.
// With WT_KILL_AT=op:N the process kills itself at the Nth engine write/sync/... (FaultVfs).
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FaultVfs.h"
#include "store/Connection.h"
#include "store/Logbook.h"
#include "store/Recordset.h"
#include "store/RuntimeError.h"

using store::Connection;
using store::Recordset;
using store::Value;

namespace {

struct Field {
    const char* name;
    std::string text;
};

std::vector<Field> fieldsFor(long k)
{
    char date[16];
    const int day = static_cast<int>(k % 28) + 1, month = static_cast<int>(k / 28 % 12) + 1;
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2000 + static_cast<int>(k % 30), month, day);
    char dep[8], arr[8];
    std::snprintf(dep, sizeof dep, "%02ld:%02ld", k % 24, k % 60);
    std::snprintf(arr, sizeof arr, "%02ld:%02ld", (k + 3) % 24, (k + 7) % 60);
    const std::string ks = std::to_string(k);
    static const char* const rules[] = {"IFR", "VFR", "SVFR"};
    // Now and then a long remark, so that one Save changes several pages.
    std::string remarks = "remark k=" + ks;
    if (k % 5 == 0)
        remarks += " " + std::string(static_cast<std::size_t>(900 + k % 100), static_cast<char>('a' + k % 26));
    return {{"date", date},
            {"departure", "D" + ks},
            {"timeDeparture", dep},
            {"destination", "A" + ks},
            {"timeArrival", arr},
            {"nextday", k % 2 ? "1" : "0"},
            {"flighttime", std::to_string(k % 9) + ".5"},
            {"aircraft", "A320-" + ks},
            {"airline", "Airline " + ks},
            {"callsign", "WT" + std::to_string(k % 10000)},
            {"flightrule", rules[k % 3]},
            {"pax", std::to_string(k % 500)},
            {"cargo", std::to_string(k * 7)},
            {"remarks", remarks},
            {"route", "DCT " + ks + " DCT"}};
}

void setFields(Recordset& rs, long k)
{
    for (const Field& f : fieldsFor(k))
        rs.setField(f.name, f.name == std::string("nextday") ? Value(f.text == "1") : Value(f.text));
}

// The key whose fields a row holds, or -1 when the row matches none.
long keyOf(const Recordset& rs)
{
    const std::string remarks = rs.Fields("remarks").toText();
    const auto at = remarks.find("k=");
    if (at == std::string::npos)
        return -1;
    const long k = std::atol(remarks.c_str() + at + 2);
    for (const Field& f : fieldsFor(k)) {
        const Value v = rs.Fields(f.name);
        const std::string text = f.name == std::string("nextday") ? (v.isTrue() ? "1" : "0") : v.toText();
        if (text != f.text)
            return -1;
    }
    return k;
}

void say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void openLogbook(Connection& con, const std::string& folder)
{
    con.setConnectionString(logbook::ConnectionString(folder));
    con.Open();
}

std::int64_t save(Recordset& rs, long k)
{
    say("saving " + std::to_string(k));
    rs.AddNew();
    setFields(rs, k);
    rs.Update();
    const std::int64_t id = rs.Fields("logid").toInteger();
    say("saved " + std::to_string(id) + " " + std::to_string(k));
    return id;
}

void edit(Connection& con, std::int64_t id, long k)
{
    say("editing " + std::to_string(id) + " " + std::to_string(k));
    Recordset rs;
    rs.Open(logbook::SelectById(id), con, store::adOpenStatic, store::adLockPessimistic);
    setFields(rs, k);
    rs.Update();
    rs.Close();
    say("edited " + std::to_string(id) + " " + std::to_string(k));
}

void remove(Connection& con, std::int64_t id)
{
    say("deleting " + std::to_string(id));
    Recordset rs;
    rs.Open(logbook::SelectById(id), con, store::adOpenDynamic, store::adLockPessimistic);
    rs.Delete(store::adAffectCurrent);
    rs.Close();
    say("deleted " + std::to_string(id));
}

int churn(const std::string& folder, unsigned seed)
{
    Connection con;
    openLogbook(con, folder);
    std::vector<std::int64_t> ids;
    {
        Recordset all;
        all.Open(logbook::kSelectAll, con);
        for (; !all.Eof(); all.MoveNext())
            ids.push_back(all.Fields("logid").toInteger());
    }
    std::mt19937 rng(seed);
    Recordset adding;
    adding.Open(logbook::kSelectAll, con, store::adOpenStatic, store::adLockOptimistic);
    long k = 100000L * (seed % 1000 + 1);
    for (int round = 0; round < 100000; ++round) {
        const unsigned pick = rng() % 10;
        if (pick < 5 || ids.empty()) {
            ids.push_back(save(adding, ++k));
        } else if (pick < 8) {
            edit(con, ids[rng() % ids.size()], ++k);
        } else {
            const std::size_t at = rng() % ids.size();
            remove(con, ids[at]);
            ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
        }
    }
    return 0;
}

// What the report promises: for each logid, the keys it may hold (empty: it must be gone;
// -1 among them: it may be gone).
int verify(const std::string& folder, const std::string& report)
{
    Connection con;
    openLogbook(con, folder); // the start-up open: recovers a hot journal first
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(con.handle(), "PRAGMA integrity_check", -1, &st, nullptr);
    std::string integrity;
    while (sqlite3_step(st) == SQLITE_ROW)
        integrity += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    int problems = 0;
    if (integrity != "ok") {
        std::printf("integrity_check: %s\n", integrity.c_str());
        ++problems;
    }

    // logid -> keys it may hold; -1: it may be gone; kBegun: any key whose Save was begun
    // (an entry whose Save was killed after it stored, before it was reported, and which a
    // later round then edited).
    constexpr long kBegun = -2;
    std::map<std::int64_t, std::set<long>> allowed;
    std::set<std::int64_t> mustExist;
    std::set<long> begun;
    std::ifstream in(report);
    std::string line;
    std::string content((std::istreambuf_iterator<char>(in)), {});
    std::istringstream lines(content);
    const bool lastComplete = !content.empty() && content.back() == '\n';
    std::vector<std::string> all;
    while (std::getline(lines, line))
        all.push_back(line);
    if (!lastComplete && !all.empty())
        all.pop_back(); // cut off by the kill
    for (const std::string& l : all) {
        std::istringstream w(l);
        std::string op;
        std::int64_t id = 0;
        long k = 0;
        w >> op;
        if (op == "saving") {
            w >> k;
            begun.insert(k);
        } else if (op == "saved") {
            w >> id >> k;
            allowed[id] = {k};
            mustExist.insert(id);
        } else if (op == "editing") {
            w >> id >> k;
            if (!allowed.count(id))
                allowed[id].insert(kBegun);
            allowed[id].insert(k);
        } else if (op == "edited") {
            w >> id >> k;
            allowed[id] = {k};
        } else if (op == "deleting") {
            w >> id;
            if (!allowed.count(id))
                allowed[id].insert(kBegun);
            allowed[id].insert(-1);
        } else if (op == "deleted") {
            w >> id;
            allowed[id] = {};
            mustExist.erase(id);
        }
    }
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    std::set<std::int64_t> seen;
    long rows = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++rows) {
        const std::int64_t id = rs.Fields("logid").toInteger();
        seen.insert(id);
        const long k = keyOf(rs);
        if (k < 0) {
            std::printf("entry %lld holds fields of no Save\n", static_cast<long long>(id));
            ++problems;
            continue;
        }
        auto it = allowed.find(id);
        if (it != allowed.end() && !it->second.count(k) && !(it->second.count(kBegun) && begun.count(k))) {
            std::printf("entry %lld holds key %ld, which no reported change gave it\n", static_cast<long long>(id), k);
            ++problems;
        }
    }
    for (const auto& [id, keys] : allowed) {
        const bool mayBeGone = keys.empty() || keys.count(-1) || keys.count(kBegun);
        if (keys.empty() && seen.count(id)) {
            std::printf("entry %lld was reported deleted and is still there\n", static_cast<long long>(id));
            ++problems;
        } else if (!mayBeGone && mustExist.count(id) && !seen.count(id)) {
            std::printf("entry %lld was reported saved and is gone\n", static_cast<long long>(id));
            ++problems;
        }
    }
    std::printf("%ld rows, %zu reported entries checked, %d problems\n", rows, allowed.size(), problems);
    return problems == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    reliability::InstallFaultVfs(reliability::PlanFromEnvironment());
    if (argc < 3) {
        std::fprintf(stderr, "usage: wt-logbook-driver fill|save|edit|delete|churn|open|verify FOLDER ...\n");
        return 2;
    }
    const std::string cmd = argv[1];
    const std::string folder = argv[2];
    try {
        if (cmd == "open") {
            Connection con;
            openLogbook(con, folder);
            con.Close();
            return 0;
        }
        if (cmd == "verify" && argc == 4)
            return verify(folder, argv[3]);
        if (cmd == "churn" && argc == 4)
            return churn(folder, static_cast<unsigned>(std::atol(argv[3])));
        Connection con;
        openLogbook(con, folder);
        if ((cmd == "fill" || cmd == "save") && argc == 4) {
            Recordset rs;
            rs.Open(logbook::kSelectAll, con, store::adOpenStatic, store::adLockOptimistic);
            const long n = std::atol(argv[3]);
            if (cmd == "save")
                save(rs, n);
            else
                for (long k = 1; k <= n; ++k)
                    save(rs, k);
            rs.CancelUpdate();
            rs.Close();
        } else if (cmd == "edit" && argc == 5) {
            edit(con, std::atoll(argv[3]), std::atol(argv[4]));
        } else if (cmd == "delete" && argc == 4) {
            remove(con, std::atoll(argv[3]));
        } else {
            std::fprintf(stderr, "wt-logbook-driver: bad command\n");
            return 2;
        }
        con.Close();
    } catch (const store::RuntimeError& e) {
        std::fprintf(stderr, "Run-time error '%ld': %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
