// backup: a consistent copy while another program reads the logbook or files entries in it.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "LogbookTesting.h"
#include "store/Connection.h"
#include "store/Recordset.h"

using namespace wt::logtest;

namespace {

// A second process, as another copy of the program would be; ended and reaped on every path.
class Child {
public:
    explicit Child(const std::function<void(int toParent, int fromParent)>& body)
    {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0)
            throw std::runtime_error("no pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(up[0]);
            ::close(down[1]);
            try {
                body(up[1], down[0]);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        fromChild_ = up[0];
        toChild_ = down[1];
    }
    // Waits (at most 30 s) for the child to say it is ready.
    bool ready()
    {
        char c;
        return ::read(fromChild_, &c, 1) == 1;
    }
    // Tells the child to stop, then returns its exit status.
    int finish()
    {
        if (toChild_ >= 0)
            ::close(toChild_);
        toChild_ = -1;
        int status = 0;
        for (int i = 0; i < 3000; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -2;
    }
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(fromChild_);
        if (toChild_ >= 0)
            ::close(toChild_);
    }

private:
    pid_t pid_ = -1;
    int fromChild_ = -1, toChild_ = -1;
};

void fill(const std::string& db, int n)
{
    std::string sql = "BEGIN;";
    for (int i = 1; i <= n; ++i)
        sql += "INSERT INTO tblLog (date, departure, remarks) VALUES ('2024-01-01', 'EDDF', '" + std::to_string(i) + "');";
    exec(db, sql + "COMMIT;");
}

bool stopAsked(int fromParent)
{
    pollfd p{fromParent, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

} // namespace

TEST(Backup, RefusesToOverwriteUnlessForced)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    fill(db, 5);
    const std::string dest = dir.file("copy.dat");
    writeFile(dest, "keep me");
    Ran r = runLogbook(dir, "--logbook " + db + " backup " + dest);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dest + ": it exists already"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(dest), "keep me");

    r = runLogbook(dir, "--logbook " + db + " backup " + dest + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Copied 5 entries"), std::string::npos) << r.out;
    EXPECT_EQ(rows(dest), rows(db));
    // Nothing of the work is left beside the copy.
    for (const auto& e : fs::directory_iterator(dir.folder()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

TEST(Backup, WhileAnotherProcessHoldsAReadTransaction)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    fill(db, 200);
    Child reader([&](int up, int down) {
        sqlite3* h = nullptr;
        sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(h, "BEGIN; SELECT count(*) FROM tblLog;", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "SELECT * FROM tblLog", -1, &st, nullptr);
        sqlite3_step(st);  // a read under way: the shared lock is held
        ::write(up, "r", 1);
        char c;
        while (::read(down, &c, 1) > 0) {
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    });
    ASSERT_TRUE(reader.ready());
    const std::string dest = dir.file("copy.dat");
    const Ran r = runLogbook(dir, "--logbook " + db + " backup " + dest);
    EXPECT_EQ(reader.finish(), 0);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rows(dest), rows(db));
}

TEST(Backup, WhileTheProgramFilesEntries)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    // Entries filed one Save at a time through the store, as the new-entry window files them,
    // numbered in their remarks, until told to stop; at most 10^6 of them or 30 seconds.
    Child writer([&](int up, int down) {
        store::Connection conn;
        conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db + ";Persist Security Info=False");
        store::Recordset rs;
        rs.Open("Select * from tblLog", conn, store::adOpenStatic, store::adLockOptimistic);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (int i = 1; i <= 1000000 && std::chrono::steady_clock::now() < until && !stopAsked(down); ++i) {
            rs.AddNew();
            rs.setField("date", "2024-01-01");
            rs.setField("departure", "EDDF");
            rs.setField("remarks", std::to_string(i));
            rs.Update();
            if (i == 20)
                ::write(up, "w", 1);
            // A Save every few milliseconds: far faster than anyone types, yet with the
            // moments between two Saves in which a person's program also gets the file.
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        rs.Close();
        conn.Close();
    });
    ASSERT_TRUE(writer.ready());
    std::vector<std::size_t> sizes;
    for (int copy = 0; copy < 3; ++copy) {
        const std::string dest = dir.file("copy" + std::to_string(copy) + ".dat");
        const Ran r = runLogbook(dir, "--logbook " + db + " backup " + dest);
        ASSERT_EQ(r.status, 0) << r.err;
        // One moment of the file: entries 1 to k, every one complete.
        const auto copied = rows(dest);
        ASSERT_FALSE(copied.empty());
        for (std::size_t i = 0; i < copied.size(); ++i) {
            EXPECT_EQ(copied[i][0], "integer:" + std::to_string(i + 1));
            EXPECT_EQ(copied[i][14], "text:" + std::to_string(i + 1));
        }
        sizes.push_back(copied.size());
    }
    EXPECT_EQ(writer.finish(), 0);
    // The entries went on being filed after the first copy was made.
    EXPECT_GT(rows(db).size(), sizes[0]);
    std::printf("copies held %zu, %zu and %zu entries\n", sizes[0], sizes[1], sizes[2]);
}
