// The store against real SQLite files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "store/Connection.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "store/Recordset.h"
#include "store/RuntimeError.h"

namespace fs = std::filesystem;
using namespace store;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        path_ = fs::temp_directory_path() / ("wingtrail-store-" + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string folder() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

long long countRows(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM tblLog", -1, &st, nullptr);
    sqlite3_step(st);
    long long n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

class Logbook : public ::testing::Test {
protected:
    void SetUp() override
    {
        logbook::CreateLogbook(path);
        con.Open(logbook::ConnectionString(dir.folder()));
    }
    std::int64_t addEntry(const std::string& from)
    {
        Recordset rs;
        rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
        rs.AddNew();
        rs.setField("departure", Value(from));
        rs.Update();
        return rs.Fields("logid").toInteger();
    }
    TempFolder dir;
    std::string path = dir.file("Wingtrail.dat");
    Connection con;
};

} // namespace

TEST(LogbookTexts, ConnectionStringJoinsTheFolderWithThisPlatformsSeparator)
{
    EXPECT_EQ(logbook::ConnectionString("/opt/wingtrail"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/wingtrail/Wingtrail.dat;Persist Security Info=False");
    EXPECT_EQ(logbook::ProgramFile("/opt/wingtrail", logbook::kImageFile), "/opt/wingtrail/images/Wingtrail.img");
}

TEST(LogbookTexts, StatementTwoHasNoBlankAfterTheEqualsSign)
{
    EXPECT_EQ(logbook::kSelectAll, "Select * from tblLog");
    EXPECT_EQ(logbook::SelectById(std::int16_t{7}), "Select * from tblLog where logid =7");
    EXPECT_EQ(logbook::SelectById(std::int16_t{-5}), "Select * from tblLog where logid =-5");
    EXPECT_EQ(logbook::SelectById(std::int16_t{32767}), "Select * from tblLog where logid =32767");
    EXPECT_EQ(logbook::SelectById("12"), "Select * from tblLog where logid =12");
}

TEST(LogbookTexts, SharedVariablesHaveTheirClassicTypes)
{
    // intLogId is 16 bits, signed: its two ends are the numbers an edit can reach, and
    // one past the top wraps instead of naming entry 32768.
    static_assert(std::is_same_v<decltype(Module1::intLogId), std::int16_t>);
    Module1::intLogId = std::numeric_limits<std::int16_t>::max();
    EXPECT_EQ(logbook::SelectById(Module1::intLogId), "Select * from tblLog where logid =32767");
    Module1::intLogId = static_cast<std::int16_t>(Module1::intLogId + 1);
    EXPECT_EQ(logbook::SelectById(Module1::intLogId), "Select * from tblLog where logid =-32768");
    Module1::intLogId = 0;
    static_assert(std::is_same_v<decltype(Module1::strImagePath), std::string>);
}

TEST(ConnectionStringParsing, AcceptsTheProgramsStringAndRefusesOthers)
{
    EXPECT_EQ(ConnectionString::parse(logbook::ConnectionString("/a b/c")).dataSource, "/a b/c/Wingtrail.dat");
    struct Case { const char* text; const char* mentions; };
    for (const Case& c : {Case{"Provider=SQLOLEDB;Data Source=/x", "SQLOLEDB"},
                          Case{"Data Source=/x", "provider"},
                          Case{"Provider=Microsoft.Jet.OLEDB.4.0", "data source"},
                          Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x;Password=secret", "Password"},
                          Case{"Provider=Microsoft.Jet.OLEDB.4.0;garbage", "garbage"}}) {
        try {
            ConnectionString::parse(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
        }
    }
}

TEST(CreateLogbook, MakesAnEmptyTableAndRefusesAnExistingPath)
{
    TempFolder dir;
    const auto path = dir.file("Wingtrail.dat");
    logbook::CreateLogbook(path);
    EXPECT_EQ(countRows(path), 0);
    const auto before = readAll(path);
    EXPECT_THROW(logbook::CreateLogbook(path), RuntimeError);
    EXPECT_EQ(readAll(path), before);
}

TEST(ConnectionOpen, RefusesWhatIsNotAReadableDatabaseAndLeavesItUntouched)
{
    TempFolder dir;
    std::mt19937 rng(42);
    std::string random(8192, '\0');
    for (auto& c : random)
        c = static_cast<char>(rng());
    logbook::CreateLogbook(dir.file("good.dat"));
    std::string truncated = readAll(dir.file("good.dat")).substr(0, 4096 + 100);
    struct Case { std::string name; std::optional<std::string> content; };
    for (const Case& c : {Case{"missing.dat", std::nullopt}, Case{"empty.dat", std::string()},
                          Case{"random.dat", random}, Case{"text.dat", std::string("hello, not a database\n")},
                          Case{"truncated.dat", truncated}}) {
        const auto path = dir.file(c.name);
        if (c.content) {
            std::ofstream(path, std::ios::binary) << *c.content;
        }
        Connection con;
        try {
            con.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
            ADD_FAILURE() << c.name << " opened";
        } catch (const RuntimeError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_FALSE(con.isOpen());
        if (c.content)
            EXPECT_EQ(readAll(path), *c.content) << c.name << " was changed";
        else
            EXPECT_FALSE(fs::exists(path)) << "the program must not create its logbook";
    }
    // A folder where the file should be.
    fs::create_directory(dir.file("folder.dat"));
    Connection con;
    EXPECT_THROW(con.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.file("folder.dat")), RuntimeError);
}

TEST(ConnectionOpen, ADatabaseWithoutTheTableOpensAndFailsOnFirstReadNamingTheTable)
{
    TempFolder dir;
    const auto path = dir.file("other.dat");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE somethingElse (x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    Connection con;
    con.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    Recordset rs;
    try {
        rs.Open(logbook::kSelectAll, con);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::TableNotFound);
        EXPECT_NE(std::string(e.what()).find("tblLog"), std::string::npos);
    }
    EXPECT_FALSE(rs.isOpen());
}

TEST(ConnectionOpen, CloseAndReopen)
{
    TempFolder dir;
    logbook::CreateLogbook(dir.file("Wingtrail.dat"));
    Connection con;
    con.setConnectionString(logbook::ConnectionString(dir.folder()));
    con.Open();
    con.Close();
    EXPECT_FALSE(con.isOpen());
    con.Open();
    EXPECT_TRUE(con.isOpen());
    EXPECT_THROW(con.Open(), RuntimeError);
}

TEST_F(Logbook, RecordsetRefusesAnythingButOneQuery)
{
    for (const char* src : {"Select * from tblLog; delete from tblLog", "Select * from tblLog where logid =1;",
                            "delete from tblLog", "", "Select * from"}) {
        Recordset rs;
        EXPECT_THROW(rs.Open(src, con), RuntimeError) << src;
        EXPECT_FALSE(rs.isOpen());
    }
    addEntry("EDDF");
    EXPECT_EQ(countRows(path), 1);
}

// Preparing a PRAGMA already applies it, and a refused source must leave the connection as
// it was: one with synchronous off loses Saves in a power cut, one that is query-only or
// at its page limit refuses every later Save.
TEST_F(Logbook, ARefusedSourceLeavesTheConnectionAsItWas)
{
    auto settings = [&] {
        std::string out;
        for (const char* name : {"synchronous", "query_only", "busy_timeout", "locking_mode", "max_page_count",
                                 "cache_size", "ignore_check_constraints", "writable_schema"}) {
            sqlite3_exec(con.handle(), (std::string("PRAGMA ") + name).c_str(),
                         [](void* o, int, char** v, char**) {
                             *static_cast<std::string*>(o) += std::string(v[0] ? v[0] : "NULL") + " ";
                             return 0;
                         }, &out, nullptr);
        }
        return out;
    };
    const std::string before = settings();
    for (const char* src : {"PRAGMA synchronous=0", "PRAGMA query_only=1", "PRAGMA busy_timeout=0",
                            "PRAGMA locking_mode=EXCLUSIVE", "PRAGMA max_page_count=1", "PRAGMA cache_size=1",
                            "PRAGMA ignore_check_constraints=1", "EXPLAIN PRAGMA writable_schema=1",
                            "PRAGMA table_info(tblLog)"}) {
        Recordset rs;
        try {
            rs.Open(src, con);
            ADD_FAILURE() << src << " was opened";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::BadSource) << src << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("exactly one query"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(rs.isOpen());
    }
    EXPECT_EQ(settings(), before);
    addEntry("EDDF");
    EXPECT_EQ(countRows(path), 1);
}

TEST_F(Logbook, EndOfFileOnAnEmptyTable)
{
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.MoveNext(), RuntimeError);
    EXPECT_THROW(rs.Fields("logid"), RuntimeError);
}

TEST_F(Logbook, AddNewAndUpdateAssignsANewLogidThatIsNeverReused)
{
    const auto first = addEntry("EDDF");
    const auto second = addEntry("EGLL");
    EXPECT_GT(second, first);
    Recordset del;
    del.Open(logbook::SelectById(std::to_string(second)), con, adOpenDynamic, adLockPessimistic);
    del.Delete(adAffectCurrent);
    del.Close();
    EXPECT_GT(addEntry("KJFK"), second);
}

TEST_F(Logbook, CancelUpdateDropsThePendingRecordAndIsHarmlessWithNothingPending)
{
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.CancelUpdate(); // nothing pending
    rs.AddNew();
    rs.setField("departure", Value("EDDF"));
    EXPECT_EQ(rs.Fields("departure"), Value("EDDF"));
    rs.CancelUpdate();
    rs.CancelUpdate();
    rs.Close();
    EXPECT_EQ(countRows(path), 0);
}

TEST_F(Logbook, DeleteRemovesTheRowAtOnce)
{
    addEntry("EDDF");
    const auto id = addEntry("EGLL");
    Recordset rs;
    rs.Open(logbook::SelectById(std::to_string(id)), con, adOpenDynamic, adLockPessimistic);
    rs.Delete(adAffectCurrent);
    EXPECT_EQ(countRows(path), 1); // seen by another connection before Close
    EXPECT_THROW(rs.Fields("departure"), RuntimeError);
    rs.Close();
}

TEST_F(Logbook, DeleteWithoutCurrentRecordFails)
{
    Recordset rs;
    rs.Open(logbook::SelectById("99"), con, adOpenDynamic, adLockPessimistic);
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.Delete(adAffectCurrent), RuntimeError);
}

TEST_F(Logbook, FieldLookupIgnoresCaseAndNullReadsBackAsNull)
{
    addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    EXPECT_EQ(rs.Fields("DEPARTURE"), Value("EDDF"));
    EXPECT_EQ(rs.Fields("Departure"), rs.Fields("departure"));
    EXPECT_TRUE(rs.Fields("Date").isNull());
    EXPECT_TRUE(rs.Fields("cargo").isNull());
    try {
        rs.Fields("nosuchfield");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::ItemNotFound);
        EXPECT_NE(std::string(e.what()).find("nosuchfield"), std::string::npos);
    }
}

TEST_F(Logbook, ACommittedRowIsVisibleFromASecondConnectionAtOnce)
{
    // The new-entry window keeps its recordset open over the whole table while it saves.
    addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.setField("departure", Value("LFPG"));
    rs.Update();
    EXPECT_EQ(countRows(path), 2);
    Connection second;
    second.Open(logbook::ConnectionString(dir.folder()));
    Recordset other;
    other.Open(logbook::SelectById(rs.Fields("logid").toText()), second);
    EXPECT_EQ(other.Fields("departure"), Value("LFPG"));
}

TEST_F(Logbook, ValuesAreStoredPlainForOtherPrograms)
{
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.setField("date", Value("2004-03-05"));
    rs.setField("nextday", Value(true));
    rs.setField("pax", Value("120"));
    rs.setField("cargo", Value("0"));
    rs.setField("callsign", Value("DLH4AB \"quoted\" ✈ שלום"));
    rs.Update();
    EXPECT_EQ(rs.Fields("pax"), Value(std::int64_t{120}));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT typeof(date), date, nextday, typeof(pax), pax, cargo, callsign FROM tblLog", -1, &st,
                       nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    auto text = [&](int i) { return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i))); };
    EXPECT_EQ(text(0), "text");
    EXPECT_EQ(text(1), "2004-03-05");
    EXPECT_EQ(text(2), "1");
    EXPECT_EQ(text(3), "integer");
    EXPECT_EQ(text(4), "120");
    EXPECT_EQ(text(5), "0");
    EXPECT_EQ(text(6), "DLH4AB \"quoted\" ✈ שלום");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(Logbook, AValueThatDoesNotFitIsRefusedNamingTheFieldAndNothingIsLost)
{
    addEntry("EDDF");
    struct Case { const char* field; Value value; };
    for (const Case& c : {Case{"pax", Value("12a")}, Case{"cargo", Value("1e5")}, Case{"pax", Value("99999999999999999999")},
                          Case{"date", Value("05-03-2004")}, Case{"nextday", Value("maybe")}}) {
        Recordset rs;
        rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
        rs.AddNew();
        rs.setField(c.field, c.value);
        try {
            rs.Update();
            ADD_FAILURE() << c.field << " took " << c.value.toText();
        } catch (const RuntimeError& e) {
            EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
        }
        rs.CancelUpdate();
    }
    EXPECT_EQ(countRows(path), 1);
}

TEST_F(Logbook, EditingTheCurrentRowWritesOnlyOnUpdate)
{
    const auto id = addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::SelectById(std::to_string(id)), con, adOpenStatic, adLockPessimistic);
    rs.Update(); // nothing changed: nothing to write, no error
    rs.setField("departure", Value("EGLL"));
    rs.CancelUpdate();
    EXPECT_EQ(rs.Fields("departure"), Value("EDDF"));
    rs.setField("departure", Value("LFPG"));
    rs.Update();
    rs.Close();
    Recordset check;
    check.Open(logbook::SelectById(std::to_string(id)), con);
    EXPECT_EQ(check.Fields("departure"), Value("LFPG"));
}

TEST_F(Logbook, UpdatingAnEntryRemovedByAnotherProgramFails)
{
    const auto id = addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::SelectById(std::to_string(id)), con, adOpenStatic, adLockPessimistic);
    // Another copy of the program removes it meanwhile; our open recordset must not block that.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tblLog", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    rs.setField("departure", Value("EGLL"));
    EXPECT_THROW(rs.Update(), RuntimeError);
    EXPECT_EQ(countRows(path), 0);
}

TEST_F(Logbook, AReadOnlyRecordsetRefusesWrites)
{
    addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    EXPECT_THROW(rs.AddNew(), RuntimeError);
    EXPECT_THROW(rs.setField("departure", Value("X")), RuntimeError);
    EXPECT_THROW(rs.Delete(), RuntimeError);
}

TEST_F(Logbook, ReadingFrontToBackSeesEveryRowInTableOrder)
{
    for (const char* from : {"A", "B", "C"})
        addEntry(from);
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    std::string seen;
    for (; !rs.Eof(); rs.MoveNext())
        seen += rs.Fields("departure").toText();
    EXPECT_EQ(seen, "ABC");
}

TEST_F(Logbook, ClosingTheConnectionClosesItsRecordsetsAndLeavesOneFile)
{
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    con.Close();
    EXPECT_FALSE(rs.isOpen());
    EXPECT_EQ(countRows(path), 0);
    for (const auto& entry : fs::directory_iterator(dir.folder()))
        EXPECT_EQ(entry.path().filename(), "Wingtrail.dat");
}

TEST_F(Logbook, ReadingTextInPlaceGivesWhatFieldsGives)
{
    // The overview reads every field as text without copying the record; what it sees
    // must be what Fields gives, also when a write on the connection moves the engine's
    // cursor away meanwhile.
    addEntry("EDDF");
    Recordset add;
    add.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    add.AddNew();
    add.setField("pax", Value("7"));
    add.setField("nextday", Value(true));
    add.setField("remarks", Value("Zürich ✈"));
    add.Update();
    add.Close();
    Recordset rs;
    rs.Open(logbook::kSelectAll, con);
    const std::vector<std::string> names = rs.fieldNames();
    int rows = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++rows) {
        if (rows == 1)
            addEntry("LFPG"); // a write while the reader stands on a row
        // Everything in place first: asking Fields copies the record out of the engine.
        std::vector<std::optional<std::string>> texts;
        std::vector<bool> truths;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto text = rs.fieldText(static_cast<int>(i));
            texts.push_back(text ? std::optional<std::string>(std::string(*text)) : std::nullopt);
            truths.push_back(rs.fieldIsTrue(static_cast<int>(i)));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const Value v = rs.Fields(names[i]);
            EXPECT_EQ(texts[i], v.isNull() ? std::nullopt : std::optional<std::string>(v.toText())) << names[i];
            EXPECT_EQ(truths[i], v.isTrue()) << names[i];
        }
    }
    EXPECT_GE(rows, 2);
}

namespace {

// Switches the C library to a locale that writes "1,5" (as Qt does at start from the
// user's environment), making it with localedef in a folder of our own when the machine
// lacks it. Restores the "C" locale when it goes.
class CommaDecimalLocale {
public:
    CommaDecimalLocale()
    {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir_.file("de_DE.UTF-8") + " >/dev/null 2>&1";
            if (std::system(cmd.c_str()) == 0) {
                setenv("LOCPATH", dir_.folder().c_str(), 1);
                std::setlocale(LC_ALL, "de_DE.UTF-8");
            }
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        active_ = std::string(buf) == "1,5";
    }
    ~CommaDecimalLocale()
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    bool active() const { return active_; }

private:
    TempFolder dir_;
    bool active_ = false;
};

} // namespace

TEST(ValueConversion, AWholeNumberFromARealIsCutAndNothingBeyond64BitsIsGuessed)
{
    struct Case { double real; std::int64_t whole; };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : {Case{2.9, 2}, Case{-2.9, -2}, Case{-0.0, 0}, Case{9.2e18, 9200000000000000000},
                          Case{-9223372036854775808.0, std::numeric_limits<std::int64_t>::min()},
                          Case{9223372036854775808.0, 0}, Case{1e300, 0}, Case{-1e300, 0}, Case{inf, 0},
                          Case{-inf, 0}, Case{std::numeric_limits<double>::quiet_NaN(), 0}}) {
        EXPECT_EQ(Value(c.real).toInteger(), c.whole) << Value::realText(c.real);
    }
}

TEST_F(Logbook, RealNumbersAreWrittenAndReadTheSameInEveryLocale)
{
    CommaDecimalLocale locale;
    if (!locale.active())
        GTEST_SKIP() << "no comma-decimal locale here (de_DE.UTF-8 could not be made with localedef)";

    // Fifteen significant digits, a period, no trailing zeros.
    struct Shown { double value; const char* text; };
    for (const Shown& c : {Shown{1.5, "1.5"}, Shown{2.0, "2"}, Shown{-0.25, "-0.25"}, Shown{0.1 + 0.2, "0.3"},
                           Shown{1e20, "1e+20"}, Shown{123456789012345678.0, "1.23456789012346e+17"},
                           Shown{1.0 / 3.0, "0.333333333333333"}}) {
        EXPECT_EQ(Value(c.value).toText(), c.text);
    }

    // Stored: a real in a text field is the text shown; in a whole-number field a whole
    // real is the number, a fraction is refused naming the field.
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.setField("flighttime", Value(1.5));
    rs.setField("pax", Value(3.0));
    rs.setField("cargo", Value(2.0000000000000001));
    rs.Update();
    EXPECT_EQ(rs.Fields("flighttime"), Value("1.5"));
    EXPECT_EQ(rs.Fields("pax"), Value(std::int64_t{3}));
    EXPECT_EQ(rs.Fields("cargo"), Value(std::int64_t{2}));
    rs.setField("pax", Value(2.5));
    try {
        rs.Update();
        ADD_FAILURE() << "2.5 passengers were stored";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::DataTypeMismatch);
        EXPECT_NE(e.description().find("'pax'"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("'2.5'"), std::string::npos) << e.description();
    }
    rs.CancelUpdate();
    rs.Close();

    // Read: a real that another program left in the file reads the same in place and
    // through Fields.
    Recordset reals;
    reals.Open("SELECT 1.5 AS a, 2.0 AS b, -1e-7 AS c", con);
    for (const auto& [index, want] : {std::pair{0, "1.5"}, std::pair{1, "2"}, std::pair{2, "-1e-07"}}) {
        EXPECT_EQ(reals.fieldText(index).value_or("(null)"), want);
        EXPECT_EQ(reals.field(index).toText(), want);
    }
}
