// Two copies of the program on one logbook file, each a process of its own working
// through the store as the windows do. Nothing may be corrupted, no reported Save lost,
// and where one copy removed what the other shows, the other is told which entry is gone.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "reliability/TwoCopies.h"
#include "store/Logbook.h"
#include "store/RuntimeError.h"

namespace fs = std::filesystem;
using namespace wt::reliability;
using store::RuntimeError;

namespace {

class ProgramFolder {
public:
    ProgramFolder()
    {
        path_ = fs::temp_directory_path() / ("wingtrail-two-copies-" + std::to_string(::getpid()) + "-"
                                             + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
        logbook::CreateLogbook(database());
    }
    ~ProgramFolder() { fs::remove_all(path_); }
    std::string folder() const { return path_.string(); }
    std::string database() const { return (path_ / "Wingtrail.dat").string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// An entry as the file must hold it: the Save's fields with each copy's edits over them.
Fields Overlaid(Fields entry, const Fields& edit)
{
    for (const auto& [field, text] : edit)
        entry[field] = text;
    return entry;
}

// "entry 12 " names entry 12 and no other.
bool NamesEntry(const std::string& line, std::int64_t logid)
{
    return line.find("entry " + std::to_string(logid) + " ") != std::string::npos;
}

std::vector<std::string> Split(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

} // namespace

TEST(TwoCopies, WhatTheOtherCopyRemovedIsNamedWhenThisOneSavesOrDeletesIt)
{
    ProgramFolder folder;
    Copy mine(folder.folder());
    std::vector<std::int64_t> ids;
    mine.fileEntries({NewEntry('A', 1), NewEntry('A', 2), NewEntry('A', 3), NewEntry('A', 4)},
                     [&](std::int64_t id) { ids.push_back(id); });
    ASSERT_EQ(ids.size(), 4u);

    OtherCopy other([&](OtherCopy& me) {
        auto copy = std::make_unique<Copy>(folder.folder());
        auto attempt = [&](const std::function<void()>& step) {
            try {
                step();
                me.say("no error");
            } catch (const RuntimeError& e) {
                me.say("error " + ErrorLine(e));
                // The general handler ends the program; the user starts it again.
                copy = std::make_unique<Copy>(folder.folder());
            }
        };
        // The edit window shows entry 2 while the test's copy deletes it; then Save.
        attempt([&] {
            copy->openOverview();
            copy->edit(ids[1], Edit('B', 1), [&] {
                me.say("showing");
                me.hear();
            });
        });
        // The delete's recordset stands on entry 3 when the test's copy deletes it.
        attempt([&] {
            copy->openOverview();
            copy->remove(ids[2], [&] {
                me.say("deleting");
                me.hear();
            });
        });
        // The list still shows entry 4 after the test's copy deleted it: Edit and Delete
        // find it gone at their load, and a Delete without that test is refused.
        copy->openOverview();
        me.say("listed");
        me.hear();
        me.say(copy->edit(ids[3], Edit('B', 2)) ? "edited" : "gone");
        me.say(copy->remove(ids[3]) ? "deleted" : "gone");
        attempt([&] {
            store::Recordset rs;
            rs.Open(logbook::SelectById(ids[3]), copy->connection(), store::adOpenDynamic, store::adLockPessimistic);
            rs.Delete(store::adAffectCurrent);
        });
    });

    ASSERT_EQ(other.hear(), "showing");
    mine.openOverview();
    EXPECT_TRUE(mine.remove(ids[1]));
    other.say("save now");
    std::string line = other.hear();
    EXPECT_EQ(line.rfind("error " + std::to_string(store::err::RowNotFound) + " ", 0), 0u) << line;
    EXPECT_TRUE(NamesEntry(line, ids[1])) << line;

    ASSERT_EQ(other.hear(), "deleting");
    EXPECT_TRUE(mine.remove(ids[2]));
    other.say("delete now");
    line = other.hear();
    EXPECT_EQ(line.rfind("error " + std::to_string(store::err::RowNotFound) + " ", 0), 0u) << line;
    EXPECT_TRUE(NamesEntry(line, ids[2])) << line;

    ASSERT_EQ(other.hear(), "listed");
    EXPECT_TRUE(mine.remove(ids[3]));
    mine.closeOverview();
    other.say("go on");
    EXPECT_EQ(other.hear(), "gone");
    EXPECT_EQ(other.hear(), "gone");
    line = other.hear();
    EXPECT_EQ(line.rfind("error " + std::to_string(store::err::NoCurrentRecord) + " ", 0), 0u) << line;
    EXPECT_NE(line.find(logbook::SelectById(ids[3])), std::string::npos) << line;
    EXPECT_EQ(other.exitStatus(), 0) << other.hear();

    EXPECT_EQ(IntegrityCheck(folder.database()), "ok");
    const auto entries = ReadEntries(folder.database());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->first, ids[0]);
    EXPECT_EQ(entries.begin()->second, NewEntry('A', 1)) << "the failed Saves changed nothing";
}

TEST(TwoCopies, SavesAndEditsOfBothCopiesAreAllKept)
{
    ProgramFolder folder;
    Copy mine(folder.folder());
    std::int64_t first = 0;
    mine.fileEntries({NewEntry('A', 1)}, [&](std::int64_t id) { first = id; });

    OtherCopy other([&](OtherCopy& me) {
        Copy copy(folder.folder());
        // The edit window holds entry `first` while the test's copy edits other fields of
        // it; both Saves must keep their own changes.
        copy.openOverview();
        copy.edit(first, Edit('B', 1), [&] {
            me.say("editing");
            me.hear();
        });
        copy.closeOverview();
        // The new-entry window stays open between two Saves while the test's copy files
        // and deletes entries.
        std::vector<std::int64_t> saved;
        copy.fileEntries({NewEntry('B', 1), NewEntry('B', 2)}, [&](std::int64_t id) {
            saved.push_back(id);
            if (saved.size() == 1) {
                me.say("saved " + std::to_string(id));
                me.hear();
            }
        });
        me.say("saved " + std::to_string(saved.back()));
    });

    ASSERT_EQ(other.hear(), "editing");
    mine.openOverview();
    EXPECT_TRUE(mine.edit(first, Edit('A', 1)));
    mine.closeOverview();
    other.say("save now");

    const auto words = Split(other.hear());
    ASSERT_EQ(words.size(), 2u);
    const std::int64_t otherFirst = std::stoll(words[1]);
    std::vector<std::int64_t> mineSaved;
    mine.fileEntries({NewEntry('A', 2), NewEntry('A', 3)}, [&](std::int64_t id) { mineSaved.push_back(id); });
    // The newest entry goes: its number is never handed out again, by either copy.
    mine.openOverview();
    EXPECT_TRUE(mine.remove(mineSaved.back()));
    mine.closeOverview();
    other.say("file the next");
    const auto last = Split(other.hear());
    ASSERT_EQ(last.size(), 2u);
    const std::int64_t otherSecond = std::stoll(last[1]);
    EXPECT_EQ(other.exitStatus(), 0);

    EXPECT_GT(otherFirst, first);
    EXPECT_GT(mineSaved[0], otherFirst);
    EXPECT_GT(otherSecond, mineSaved.back()) << "a deleted entry's number was handed out again";
    EXPECT_EQ(IntegrityCheck(folder.database()), "ok");
    const std::map<std::int64_t, Fields> want = {
        {first, Overlaid(Overlaid(NewEntry('A', 1), Edit('A', 1)), Edit('B', 1))},
        {otherFirst, NewEntry('B', 1)},
        {mineSaved[0], NewEntry('A', 2)},
        {otherSecond, NewEntry('B', 2)},
    };
    EXPECT_EQ(ReadEntries(folder.database()), want);
}

TEST(TwoCopies, ASaveWaitsWhileTheOtherCopyIsStoringOne)
{
    // The other copy's Save is slow to commit (a slow disk): ours waits for it, and both
    // are stored. 300 ms is well within any wait a copy gives another.
    ProgramFolder folder;
    OtherCopy other([&](OtherCopy& me) {
        store::Connection con;
        con.Open(logbook::ConnectionString(folder.folder()));
        store::Recordset rs;
        rs.Open(logbook::kSelectAll, con, store::adOpenStatic, store::adLockOptimistic);
        rs.AddNew();
        SetFields(rs, NewEntry('B', 1));
        sqlite3_commit_hook(con.handle(), [](void* self) {
            static_cast<OtherCopy*>(self)->say("committing");
            ::usleep(300'000);
            return 0;
        }, &me);
        rs.Update();
        me.say("saved " + rs.Fields("logid").toText());
    });
    ASSERT_EQ(other.hear(), "committing");
    std::int64_t mine = 0;
    EXPECT_NO_THROW(Copy(folder.folder()).fileEntries({NewEntry('A', 1)}, [&](std::int64_t id) { mine = id; }));
    const auto words = Split(other.hear());
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(other.exitStatus(), 0);
    const std::int64_t theirs = std::stoll(words[1]);
    EXPECT_GT(mine, theirs) << "ours was stored after theirs";
    EXPECT_EQ(IntegrityCheck(folder.database()), "ok");
    EXPECT_EQ(ReadEntries(folder.database()),
              (std::map<std::int64_t, Fields>{{theirs, NewEntry('B', 1)}, {mine, NewEntry('A', 1)}}));
}

namespace {

// Runs `onFire` once, at the first statement our connection starts after a commit: the
// moment between a write and anything a recordset might do after it.
class AfterCommit {
public:
    AfterCommit(store::Connection& con, std::function<void()> onFire) : db_(con.handle()), onFire_(std::move(onFire))
    {
        sqlite3_commit_hook(db_, [](void* self) { return static_cast<AfterCommit*>(self)->committed_ = true, 0; }, this);
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, [](unsigned, void* self, void*, void*) {
            static_cast<AfterCommit*>(self)->fireOnce();
            return 0;
        }, this);
    }
    ~AfterCommit()
    {
        sqlite3_commit_hook(db_, nullptr, nullptr);
        sqlite3_trace_v2(db_, 0, nullptr, nullptr);
    }
    void arm() { committed_ = fired_ = false; }
    // After the step: what did not happen inside it happens now.
    void fireOnce()
    {
        if (!committed_ || fired_)
            return;
        fired_ = true;
        onFire_();
    }

private:
    sqlite3* db_;
    std::function<void()> onFire_;
    bool committed_ = false;
    bool fired_ = false;
};

} // namespace

TEST(TwoCopies, ASaveStandsWhenTheOtherCopyRemovesTheEntryTheMomentItIsStored)
{
    // The other copy may delete an entry the moment our Save has stored it. Our Save did
    // store it: it returns as a Save, with what it stored, and does not end the program.
    ProgramFolder folder;
    std::int64_t shown = 0;
    Copy(folder.folder()).fileEntries({NewEntry('A', 1)}, [&](std::int64_t id) { shown = id; });
    OtherCopy other([&](OtherCopy& me) {
        Copy copy(folder.folder());
        copy.openOverview();
        for (std::string line; !(line = me.hear()).empty() && line != "end";)
            me.say(copy.remove(std::stoll(line)) ? "deleted" : "gone");
        copy.closeOverview();
    });

    store::Connection con;
    con.Open(logbook::ConnectionString(folder.folder()));
    std::int64_t target = 0;
    std::string heard;
    AfterCommit hook(con, [&] {
        other.say(std::to_string(target ? target : sqlite3_last_insert_rowid(con.handle())));
        heard = other.hear();
    });

    store::Recordset rsEdit;
    rsEdit.Open(logbook::SelectById(shown), con, store::adOpenStatic, store::adLockPessimistic);
    rsEdit.setField("remarks", store::Value("changed the moment before it went"));
    target = shown;
    hook.arm();
    EXPECT_NO_THROW(rsEdit.Update());
    hook.fireOnce();
    EXPECT_EQ(heard, "deleted");
    EXPECT_EQ(rsEdit.Fields("remarks").toText(), "changed the moment before it went");
    rsEdit.Close();

    store::Recordset rsLog;
    rsLog.Open(logbook::kSelectAll, con, store::adOpenStatic, store::adLockOptimistic);
    rsLog.AddNew();
    SetFields(rsLog, NewEntry('A', 2));
    target = 0;
    heard.clear();
    hook.arm();
    EXPECT_NO_THROW(rsLog.Update());
    hook.fireOnce();
    EXPECT_EQ(heard, "deleted");
    EXPECT_GT(rsLog.Fields("logid").toInteger(), shown);
    for (const char* field : {"departure", "pax", "remarks"})
        EXPECT_EQ(rsLog.Fields(field).toText(), NewEntry('A', 2).at(field)) << field;
    EXPECT_TRUE(rsLog.Fields("pax").isInteger());
    rsLog.Close();
    con.Close();

    other.say("end");
    EXPECT_EQ(other.exitStatus(), 0);
    EXPECT_EQ(IntegrityCheck(folder.database()), "ok");
    EXPECT_TRUE(ReadEntries(folder.database()).empty());
}

namespace {

// One copy's life for the interleaved run: sessions of the new-entry window (one to
// three Saves) and of the overview (one to three edits or deletes of entries its list
// shows), with the user's pauses between the steps. It reports what returned, one line
// each, to its own file, flushed at once:
//   saved <logid> <seq>         a Save of NewEntry(name, seq) returned
//   edited <logid> <seq>        a Save of Edit(name, seq) on that entry returned
//   deleted <logid>             a Delete returned
//   gone <logid>                Edit or Delete found the entry gone at its load
//   error <logid> <number> ...  a RuntimeError ended the copy during a step on that entry
void RunCopy(char name, const std::string& folder, const std::string& reportPath, int sessions, unsigned seed,
             std::chrono::steady_clock::time_point deadline)
{
    std::mt19937 rng(seed);
    std::ofstream report(reportPath);
    auto tell = [&](const std::string& line) { report << line << '\n' << std::flush; };
    auto pause = [&] { std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000)); };
    auto copy = std::make_unique<Copy>(folder);
    int seq = 0;
    for (int s = 0; s < sessions && std::chrono::steady_clock::now() < deadline; ++s) {
        std::int64_t on = 0; // the entry the step works on, 0 for a Save
        try {
            if (rng() % 2 == 0) {
                std::vector<int> seqs;
                std::vector<Fields> entries;
                for (unsigned n = 1 + rng() % 3; n > 0; --n) {
                    seqs.push_back(++seq);
                    entries.push_back(NewEntry(name, seq));
                }
                std::size_t i = 0;
                copy->fileEntries(entries, [&](std::int64_t id) {
                    tell("saved " + std::to_string(id) + " " + std::to_string(seqs[i++]));
                    pause();
                });
            } else {
                copy->openOverview();
                for (unsigned n = 1 + rng() % 3; n > 0 && !copy->ids().empty(); --n) {
                    on = copy->ids()[rng() % copy->ids().size()];
                    pause(); // the user picks the row
                    if (rng() % 4 == 0) {
                        tell((copy->remove(on) ? "deleted " : "gone ") + std::to_string(on));
                    } else {
                        const int editSeq = ++seq;
                        const bool there = copy->edit(on, Edit(name, editSeq), pause);
                        tell(there ? "edited " + std::to_string(on) + " " + std::to_string(editSeq)
                                   : "gone " + std::to_string(on));
                    }
                    on = 0;
                }
                copy->closeOverview();
            }
        } catch (const RuntimeError& e) {
            tell("error " + std::to_string(on) + " " + ErrorLine(e));
            // The general handler has ended this copy; the user starts it again.
            copy = std::make_unique<Copy>(folder);
        }
    }
    tell("done");
}

struct Report {
    std::map<std::int64_t, int> saved;       // logid -> seq
    std::map<std::int64_t, int> lastEdit;    // logid -> seq of the last edit that returned
    std::set<std::int64_t> deleted;
    std::vector<std::int64_t> gone;          // found gone at a load
    std::vector<std::pair<std::int64_t, std::string>> errors;
    std::vector<std::string> unreadable;
    bool done = false;
};

Report ReadReport(const std::string& path)
{
    Report r;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const auto w = Split(line);
        try {
            if (w.size() == 3 && w[0] == "saved")
                r.saved[std::stoll(w[1])] = std::stoi(w[2]);
            else if (w.size() == 3 && w[0] == "edited")
                r.lastEdit[std::stoll(w[1])] = std::stoi(w[2]);
            else if (w.size() == 2 && w[0] == "deleted")
                r.deleted.insert(std::stoll(w[1]));
            else if (w.size() == 2 && w[0] == "gone")
                r.gone.push_back(std::stoll(w[1]));
            else if (w.size() >= 3 && w[0] == "error")
                r.errors.emplace_back(std::stoll(w[1]), line.substr(line.find(' ', 6) + 1));
            else if (w.size() == 1 && w[0] == "done")
                r.done = true;
            else
                r.unreadable.push_back(line);
        } catch (const std::exception&) {
            r.unreadable.push_back(line);
        }
    }
    return r;
}

} // namespace

TEST(TwoCopies, InterleavedSavesEditsAndDeletesLoseAndCorruptNothing)
{
    constexpr int kSessions = 150;
    ProgramFolder folder;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    // Both copies start together, when the test closes this pipe.
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    auto life = [&](char name, unsigned seed) {
        return [&, name, seed](OtherCopy&) {
            ::close(start[1]);
            char c;
            while (::read(start[0], &c, 1) > 0) {
            }
            RunCopy(name, folder.folder(), folder.file(std::string("report-") + name), kSessions, seed, deadline);
        };
    };
    const unsigned seed = std::random_device{}();
    std::cout << "seed " << seed << std::endl;
    OtherCopy a(life('A', seed));
    OtherCopy b(life('B', seed + 1));
    ::close(start[0]);
    ::close(start[1]);
    EXPECT_EQ(a.exitStatus(), 0) << a.hear();
    EXPECT_EQ(b.exitStatus(), 0) << b.hear();

    const Report ra = ReadReport(folder.file("report-A"));
    const Report rb = ReadReport(folder.file("report-B"));
    EXPECT_TRUE(ra.done && rb.done) << "a copy did not finish its sessions in time";
    EXPECT_TRUE(ra.unreadable.empty() && rb.unreadable.empty());
    EXPECT_EQ(IntegrityCheck(folder.database()), "ok");
    for (const char* beside : {"-journal", "-wal", "-shm"})
        EXPECT_FALSE(fs::exists(folder.database() + beside)) << "left beside the file: " << beside;

    std::map<std::int64_t, Fields> want;
    int locked = 0, removedWhileShown = 0;
    for (const auto& [report, name] : {std::pair{&ra, 'A'}, std::pair{&rb, 'B'}}) {
        for (const auto& [id, seq] : report->saved) {
            EXPECT_FALSE(want.count(id)) << "both copies were given entry " << id;
            want[id] = NewEntry(name, seq);
        }
    }
    for (const auto& [report, name] : {std::pair{&ra, 'A'}, std::pair{&rb, 'B'}}) {
        const Report& theOther = report == &ra ? rb : ra;
        for (const auto& [id, seq] : report->lastEdit)
            if (want.count(id))
                want[id] = Overlaid(want[id], Edit(name, seq));
        for (const std::int64_t id : report->deleted) {
            EXPECT_FALSE(theOther.deleted.count(id)) << "both copies deleted entry " << id;
            want.erase(id);
        }
        // An entry this copy found gone, or failed on, is one the other copy deleted; a
        // failure names it and says why. The copies step far faster than a user, so one
        // may hold the file longer than the other waits: that step fails saying so, and
        // the file (compared below) holds nothing of it.
        for (const std::int64_t id : report->gone)
            EXPECT_TRUE(theOther.deleted.count(id)) << name << " found entry " << id << " gone";
        for (const auto& [id, line] : report->errors) {
            if (line.find("is locked by another program.") != std::string::npos) {
                ++locked;
                continue;
            }
            ++removedWhileShown;
            EXPECT_TRUE(id != 0 && theOther.deleted.count(id)) << name << ": " << line;
            EXPECT_EQ(line.rfind(std::to_string(store::err::RowNotFound) + " ", 0), 0u) << name << ": " << line;
            EXPECT_TRUE(NamesEntry(line, id)) << name << ": " << line;
        }
    }
    const auto entries = ReadEntries(folder.database());
    EXPECT_EQ(entries.size(), want.size());
    for (const auto& [id, fields] : want) {
        const auto it = entries.find(id);
        if (it == entries.end())
            ADD_FAILURE() << "entry " << id << " was saved, not deleted, and is not in the file";
        else
            EXPECT_EQ(it->second, fields) << "entry " << id;
    }
    for (const auto& [id, fields] : entries)
        EXPECT_TRUE(want.count(id)) << "entry " << id << " is in the file but no Save reported it";

    std::cout << "saves " << ra.saved.size() + rb.saved.size() << ", deletes " << ra.deleted.size() + rb.deleted.size()
              << ", found gone at load " << ra.gone.size() + rb.gone.size() << ", removed while shown "
              << removedWhileShown << ", gave up waiting for the other copy's lock " << locked << ", entries left "
              << entries.size() << std::endl;
}
