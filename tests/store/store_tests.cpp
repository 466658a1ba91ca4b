// The store against real SQLite files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <csignal>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "store/Connection.h"
#include "support/TempFolder.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "store/Recordset.h"
#include "store/RuntimeError.h"

namespace fs = std::filesystem;
using namespace store;

namespace {

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
    EXPECT_EQ(logbook::SelectById(7), "Select * from tblLog where logid =7");
    EXPECT_EQ(logbook::SelectById(-5), "Select * from tblLog where logid =-5");
    EXPECT_EQ(logbook::SelectById(32767), "Select * from tblLog where logid =32767");
    EXPECT_EQ(logbook::SelectById(12), "Select * from tblLog where logid =12");
}

TEST(LogbookTexts, SharedVariablesHoldEveryLogidTheTableCanHold)
{
    // Numbers are never reused, so a logbook that once held 32767 entries goes on past
    // 16 bits for good: intLogId must reach every key the table can give, both ends of
    // the 64-bit range included, and name it in the statement digit for digit.
    static_assert(std::is_same_v<decltype(Module1::intLogId), std::int64_t>);
    struct Case { std::int64_t id; const char* digits; };
    for (const Case& c : {Case{32767, "32767"}, Case{32768, "32768"}, Case{std::int64_t{1} << 40, "1099511627776"},
                          Case{std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
                          Case{std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"}}) {
        Module1::intLogId = c.id;
        EXPECT_EQ(logbook::SelectById(Module1::intLogId), std::string("Select * from tblLog where logid =") + c.digits);
    }
    Module1::intLogId = 0;
    static_assert(std::is_same_v<decltype(Module1::strImagePath), std::string>);
}

TEST(LogbookTexts, ARowTextNamesAnEntryOnlyWhenItIsAWholeNumber)
{
    // The overview's row text is the logid as the store writes it; Edit and Delete read it
    // back. What names an entry is exactly a decimal whole number in the key's range.
    struct Good { const char* text; std::int64_t id; };
    for (const Good& c : {Good{"12", 12}, Good{"0", 0}, Good{"-5", -5}, Good{"32768", 32768},
                          Good{"1099511627776", std::int64_t{1} << 40}, Good{"007", 7},
                          Good{"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
                          Good{"-9223372036854775808", std::numeric_limits<std::int64_t>::min()}}) {
        EXPECT_EQ(logbook::ParseLogId(c.text), c.id) << c.text;
    }
    for (const char* bad : {"", " ", "3 or 1=1", "3 OR logid > 0", "3;", "3; delete from tblLog", " 12", "12 ",
                            "12\n", "+12", "12a", "3.0", "1e3", "0x10", "-", "--1", "9223372036854775808",
                            "-9223372036854775809", "99999999999999999999", "\xef\xbc\x91\xef\xbc\x92" /* fullwidth 12 */,
                            "\xd9\xa1\xd9\xa2" /* Arabic-Indic 12 */}) {
        EXPECT_EQ(logbook::ParseLogId(bad), std::nullopt) << bad;
    }
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

TEST(ConnectionStringParsing, AFolderMayHoldAnyCharacter)
{
    // The program's own string for folders with ";", quotes, "=" and blanks at the ends,
    // read back to the same file.
    for (const std::string folder : {"/opt/wing;trail", "/home/a \"b\" c", "/x/it's", "/a=b", "/sp ", " /lead",
                                     "/plain/folder"}) {
        const std::string text = logbook::ConnectionString(folder);
        EXPECT_EQ(ConnectionString::parse(text).dataSource, folder + "/Wingtrail.dat") << text;
    }
    // A folder without such characters keeps the string as it always was.
    EXPECT_EQ(logbook::ConnectionString("/opt/w"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/w/Wingtrail.dat;Persist Security Info=False");
    struct Case { const char* text; const char* source; };
    for (const Case& c : {Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source='a;b'", "a;b"},
                          Case{"Provider=Microsoft.Jet.OLEDB.4.0; Data Source = \"x\"\"y\" ;", "x\"y"},
                          Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source='it''s'", "it's"}})
        EXPECT_EQ(ConnectionString::parse(c.text).dataSource, c.source) << c.text;
    for (const char* bad : {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"open", 
                            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"a\"b"})
        EXPECT_THROW(ConnectionString::parse(bad), RuntimeError) << bad;

    TempFolder dir;
    const std::string odd = dir.file("Wing;trail \"logs\"");
    fs::create_directories(odd);
    logbook::CreateLogbook(odd + "/Wingtrail.dat");
    Connection con;
    con.Open(logbook::ConnectionString(odd));
    EXPECT_EQ(con.dataSource(), odd + "/Wingtrail.dat");
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

TEST_F(Logbook, ARecordsetThatCanWriteReadsTheWholeTableOrOneEntryByItsNumber)
{
    // Delete removes the current record of whatever the source selected: a source that
    // selects more than the one entry named would delete the first of them instead.
    for (const char* from : {"EDDF", "EGLL", "LFPG"})
        addEntry(from);
    const auto before = readAll(path);
    for (const char* src : {"Select * from tblLog where logid =3 or 1=1", "Select * from tblLog where logid =2 or logid =1",
                            "Select * from tblLog where logid >0", "Select * from tblLog where logid =3 and 1=1",
                            "Select * from tblLog where departure ='LFPG'", "Select * from tblLog where pax =3",
                            "Select * from tblLog where logid =(select min(logid) from tblLog)",
                            "Select * from tblLog where logid =3 union select * from tblLog",
                            "Select * from tblLog where logid =99999999999999999999", "Select * from tblLog where logid =3.0",
                            "Select * from tblLog where logid =0x3", "Select * from tblLog where logid ='3'",
                            "Select * from tblLog order by logid", "Select * from tblLog limit 1",
                            "Select logid, departure from tblLog", "Select * from tblLog t where t.logid =3",
                            "Select * from tblLog where logid =3 -- a comment"}) {
        for (auto [cursor, lock] : {std::pair{adOpenDynamic, adLockPessimistic}, std::pair{adOpenStatic, adLockPessimistic},
                                    std::pair{adOpenStatic, adLockOptimistic}}) {
            Recordset rs;
            try {
                rs.Open(src, con, cursor, lock);
                rs.Delete(adAffectCurrent);
                ADD_FAILURE() << "opened for writing and deleted through: " << src;
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.number(), err::BadSource) << src << ": " << e.what();
                EXPECT_NE(std::string(e.what()).find(src), std::string::npos) << e.what();
            }
            EXPECT_FALSE(rs.isOpen()) << src;
        }
    }
    EXPECT_EQ(readAll(path), before);

    // Read-only, the same sources only read; and the program's own shapes still write.
    Recordset reader;
    reader.Open("Select * from tblLog where logid =3 or 1=1", con);
    EXPECT_FALSE(reader.Eof());
    reader.Close();
    for (const char* src : {"Select * from tblLog where logid =2", "select * FROM tblLog WHERE LOGID = 2",
                            "Select * from tblLog where logid =-2", "Select * from tblLog where logid =002"}) {
        Recordset rs;
        rs.Open(src, con, adOpenDynamic, adLockPessimistic);
        EXPECT_TRUE(rs.Eof() || rs.Fields("logid") == Value(2)) << src;
    }
    Recordset del;
    del.Open(logbook::SelectById(2), con, adOpenDynamic, adLockPessimistic);
    del.Delete(adAffectCurrent);
    EXPECT_EQ(countRows(path), 2);
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
    del.Open(logbook::SelectById(second), con, adOpenDynamic, adLockPessimistic);
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
    rs.Open(logbook::SelectById(id), con, adOpenDynamic, adLockPessimistic);
    rs.Delete(adAffectCurrent);
    EXPECT_EQ(countRows(path), 1); // seen by another connection before Close
    EXPECT_THROW(rs.Fields("departure"), RuntimeError);
    rs.Close();
}

TEST_F(Logbook, DeleteWithoutCurrentRecordFails)
{
    Recordset rs;
    rs.Open(logbook::SelectById(99), con, adOpenDynamic, adLockPessimistic);
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
    other.Open(logbook::SelectById(rs.Fields("logid").toInteger()), second);
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
    // Refused by the column's type (pax, cargo, nextday) or by the table's rules (date).
    struct Case { const char* field; Value value; };
    long long stored = 1;
    for (const Case& c : {Case{"pax", Value("12a")}, Case{"cargo", Value("1e5")}, Case{"pax", Value("99999999999999999999")},
                          Case{"date", Value("05-03-2004")}, Case{"nextday", Value("maybe")}}) {
        SCOPED_TRACE(c.field);
        Recordset rs;
        rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
        rs.AddNew();
        rs.setField("departure", Value("LFPG"));
        rs.setField(c.field, c.value);
        try {
            rs.Update();
            ADD_FAILURE() << c.field << " took " << c.value.toText();
        } catch (const ValueRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
            EXPECT_EQ(e.field(), c.field);
            EXPECT_EQ(e.value(), c.value.toText());
        }
        // The record is still pending with everything in it: corrected, it is stored.
        EXPECT_EQ(rs.editMode(), EditMode::AddNew);
        EXPECT_EQ(countRows(path), stored);
        rs.setField(c.field, Value());
        rs.Update();
        EXPECT_EQ(countRows(path), ++stored);
        EXPECT_EQ(rs.Fields("departure").toText(), "LFPG");
    }
    EXPECT_EQ(countRows(path), 6);
}

TEST_F(Logbook, ARuleOfAnotherProgramsTableIsRefusedNamingTheFieldItNames)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE flights (id INTEGER PRIMARY KEY, aircraft TEXT NOT NULL,"
                               " airline TEXT, callsign TEXT UNIQUE, CHECK (length(airline) <= 3));"
                               "INSERT INTO flights VALUES (1, 'B738', 'KLM', 'KL1')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    struct Case { const char* field; const char* value; const char* why; };
    for (const Case& c : {Case{"airline", "Transavia", "CHECK"}, Case{"aircraft", nullptr, "NOT NULL"},
                          Case{"callsign", "KL1", "UNIQUE"}}) {
        SCOPED_TRACE(c.field);
        Recordset rs;
        rs.Open("Select * from flights", con, adOpenStatic, adLockOptimistic);
        rs.AddNew();
        rs.setField("aircraft", Value("A320"));
        rs.setField(c.field, c.value ? Value(c.value) : Value());
        try {
            rs.Update();
            ADD_FAILURE() << "stored";
        } catch (const ValueRefused& e) {
            EXPECT_EQ(e.field(), c.field);
            EXPECT_EQ(e.value(), c.value ? c.value : "");
            EXPECT_NE(e.description().find(c.why), std::string::npos) << e.description();
        }
        rs.CancelUpdate();
    }
}

TEST_F(Logbook, EditingTheCurrentRowWritesOnlyOnUpdate)
{
    const auto id = addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::SelectById(id), con, adOpenStatic, adLockPessimistic);
    rs.Update(); // nothing changed: nothing to write, no error
    rs.setField("departure", Value("EGLL"));
    rs.CancelUpdate();
    EXPECT_EQ(rs.Fields("departure"), Value("EDDF"));
    rs.setField("departure", Value("LFPG"));
    rs.Update();
    rs.Close();
    Recordset check;
    check.Open(logbook::SelectById(id), con);
    EXPECT_EQ(check.Fields("departure"), Value("LFPG"));
}

TEST_F(Logbook, UpdatingAnEntryRemovedByAnotherProgramFails)
{
    const auto id = addEntry("EDDF");
    Recordset rs;
    rs.Open(logbook::SelectById(id), con, adOpenStatic, adLockPessimistic);
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

namespace {

// Runs f in a child process as a user who owns nothing here (when we are root, who may
// write anything), or as ourselves otherwise; returns what f threw, or "" when it did not.
std::string InChildAsAnotherUser(const std::function<void()>& f)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        std::string out;
        try {
            f();
        } catch (const RuntimeError& e) {
            out = std::to_string(e.number()) + " " + e.description();
        }
        if (!out.empty() && write(fds[1], out.data(), out.size()) < 0)
            _exit(4);
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return got;
}

} // namespace

TEST(ConnectionOpen, ALogbookTheUserCannotWriteFailsAtOpenNotAtTheFirstSave)
{
    struct Case { const char* what; mode_t fileMode, folderMode; const char* mentions; };
    for (const Case& c : {Case{"read-only file", 0444, 0755, "cannot be written"},
                          Case{"read-only folder", 0666, 0555, "folder"},
                          Case{"writable", 0666, 0777, nullptr}}) {
        TempFolder dir;
        const auto path = dir.file("Wingtrail.dat");
        logbook::CreateLogbook(path);
        const auto before = readAll(path);
        chmod(path.c_str(), c.fileMode);
        chmod(dir.folder().c_str(), c.folderMode);
        const std::string error = InChildAsAnotherUser([&] {
            Connection con;
            con.Open(logbook::ConnectionString(dir.folder()));
            Recordset rs;
            rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
            rs.AddNew();
            rs.setField("departure", Value("EDDF"));
            rs.Update();
        });
        chmod(dir.folder().c_str(), 0755);
        if (!c.mentions) {
            EXPECT_EQ(error, "") << c.what;
            EXPECT_EQ(countRows(path), 1) << c.what;
            continue;
        }
        EXPECT_EQ(error.rfind("75 ", 0), 0u) << c.what << ": " << error;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(readAll(path), before) << c.what;
    }
}

namespace {

// Another program that holds the logbook: a child process that takes a lock of the given
// kind, writes, and lets go after holdMs. Returns once the lock is held.
pid_t HoldLock(const std::string& path, const char* begin, int holdMs)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
        sqlite3_exec(db, "INSERT INTO tblLog (departure) VALUES ('OTHER')", nullptr, nullptr, nullptr);
        if (write(fds[1], "x", 1) != 1)
            _exit(1);
        usleep(static_cast<useconds_t>(holdMs) * 1000);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        _exit(0);
    }
    close(fds[1]);
    char c;
    if (read(fds[0], &c, 1) != 1)
        ADD_FAILURE() << "the other program did not take its lock";
    close(fds[0]);
    return pid;
}

} // namespace

TEST_F(Logbook, AShortLockByAnotherProgramIsWaitedForAtOpenAndAtSave)
{
    // A writer that finishes within a few seconds: the Save waits and stores.
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.setField("departure", Value("EDDF"));
    const pid_t writer = HoldLock(path, "BEGIN IMMEDIATE", 3000);
    rs.Update();
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(countRows(path), 2);
    rs.Close();
    con.Close();

    // Committing, it locks out readers too: the start-up open waits as well.
    const pid_t committer = HoldLock(path, "BEGIN EXCLUSIVE", 3000);
    con.Open(logbook::ConnectionString(dir.folder()));
    waitpid(committer, nullptr, 0);
    EXPECT_EQ(countRows(path), 3);
}

TEST_F(Logbook, ALockHeldLongerThanTheWaitIsNamedAsALock)
{
    Recordset rs;
    rs.Open(logbook::kSelectAll, con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.setField("departure", Value("EDDF"));
    const pid_t writer = HoldLock(path, "BEGIN EXCLUSIVE", 3 * kBusyTimeoutMs + 5000);
    auto expectLocked = [&](const std::function<void()>& f, const char* what) {
        try {
            f();
            ADD_FAILURE() << what << " went through a held lock";
        } catch (const RuntimeError& e) {
            EXPECT_NE(e.description().find("is locked by another program"), std::string::npos) << what << ": "
                                                                                                 << e.description();
            EXPECT_NE(e.description().find(path), std::string::npos) << what << ": " << e.description();
        }
    };
    expectLocked([&] { rs.Update(); }, "Save");
    expectLocked([&] {
        Recordset reader;
        reader.Open(logbook::kSelectAll, con);
    }, "the overview's read");
    Connection second;
    expectLocked([&] { second.Open(logbook::ConnectionString(dir.folder())); }, "start-up open");
    EXPECT_FALSE(second.isOpen());
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    // Nothing was lost: the other program's half-done write is rolled back, and the
    // pending entry can still be saved once the lock is gone.
    rs.Update();
    EXPECT_EQ(countRows(path), 1);
}

TEST_F(Logbook, ASaveIsDurableWhenItReturns)
{
    // The journal is deleted to commit; EXTRA also syncs the folder after the deletion,
    // so a power cut after the question cannot bring the journal, and the old rows, back.
    // Delete mode keeps the logbook one file whenever no window has it open.
    sqlite3_stmt* st = nullptr;
    auto pragma = [&](const char* sql) {
        sqlite3_prepare_v2(con.handle(), sql, -1, &st, nullptr);
        sqlite3_step(st);
        std::string v = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        return v;
    };
    EXPECT_EQ(pragma("PRAGMA synchronous"), "3");
    EXPECT_EQ(pragma("PRAGMA journal_mode"), "delete");
    addEntry("EDDF");
    con.Close();
    EXPECT_FALSE(fs::exists(path + "-journal"));
    EXPECT_FALSE(fs::exists(path + "-wal"));
}

TEST_F(Logbook, AReaderGoesOnRightAfterWritesOnItsConnection)
{
    // A write on the connection makes every reader let go of the engine's cursor; each
    // must go on with the row after its current one, whatever the write added or removed.
    for (const char* from : {"A", "B", "C", "D", "E", "F"})
        addEntry(from);
    struct Case { const char* what; std::string source; int cursor; std::vector<std::string> want; };
    const std::vector<std::string> all = {"A", "B", "C", "D", "E", "F", "G"};
    for (const Case& c : {Case{"forward-only over the table", std::string(logbook::kSelectAll), adOpenUnspecified, all},
                          Case{"static over the table", std::string(logbook::kSelectAll), adOpenStatic, all},
                          // Not in key order: it runs again and skips what it read, which is
                          // right while the rows already read stay; here one not yet read goes.
                          Case{"in another order", "SELECT * FROM tblLog ORDER BY departure DESC", adOpenUnspecified,
                               {"F", "E", "D", "B", "A"}}}) {
        SCOPED_TRACE(c.what);
        Recordset rs;
        rs.Open(c.source, con, c.cursor);
        std::vector<std::string> seen;
        for (int row = 0; !rs.Eof(); rs.MoveNext(), ++row) {
            seen.push_back(rs.Fields("departure").toText());
            if (row == 2) {
                // The entry numbered one below the current one goes (in key order the row
                // just read, in the other order the next), and one is added at the end.
                Recordset gone;
                gone.Open(logbook::SelectById(rs.Fields("logid").toInteger() - 1), con, adOpenDynamic,
                          adLockPessimistic);
                if (!gone.Eof())
                    gone.Delete();
                gone.Close();
                if (std::string(c.what) != "in another order")
                    addEntry("G");
            }
        }
        EXPECT_EQ(seen, c.want);
        // Back to six entries, A to F, for the next case.
        con.Close();
        fs::remove(path);
        logbook::CreateLogbook(path);
        con.Open(logbook::ConnectionString(dir.folder()));
        for (const char* from : {"A", "B", "C", "D", "E", "F"})
            addEntry(from);
    }
}

TEST_F(Logbook, ASaveWhoseCommitOutwaitsAReaderFailsAloneAndTheNextOneStores)
{
    // Another program reads the file for longer than we wait: our Save writes, cannot
    // commit, and says the file is locked. It must leave nothing half done behind: the
    // failed entry is not stored, and the next Save commits as usual.
    addEntry("EDDF"); // a row for the reader to stand on
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t reader = fork();
    if (reader == 0) {
        close(fds[0]);
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM tblLog", -1, &st, nullptr);
        sqlite3_step(st); // holds the file's shared lock until finalized
        if (write(fds[1], "x", 1) != 1)
            _exit(1);
        usleep(static_cast<useconds_t>(kBusyTimeoutMs + 2000) * 1000);
        sqlite3_finalize(st);
        sqlite3_close(db);
        _exit(0);
    }
    close(fds[1]);
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    try {
        addEntry("LFPG");
        ADD_FAILURE() << "the Save committed past a reader";
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.description().find("is locked by another program"), std::string::npos) << e.description();
    }
    waitpid(reader, nullptr, 0);
    addEntry("KJFK");
    con.Close();
    EXPECT_EQ(countRows(path), 2);
    EXPECT_FALSE(fs::exists(path + "-journal"));
}

TEST_F(Logbook, OpensWhileAnotherProgramReadsTheFile)
{
    // A reader (a backup, a listing, the sqlite3 shell) holds the file's shared lock. Our
    // open looks at the file under the write lock but writes nothing, so it need not wait
    // for the reader to finish, however long it reads.
    addEntry("EDDF");
    con.Close();
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t reader = fork();
    if (reader == 0) {
        close(ready[0]);
        close(release[1]);
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM tblLog", -1, &st, nullptr);
        sqlite3_step(st);
        if (write(ready[1], "x", 1) != 1)
            _exit(1);
        char c;
        while (read(release[0], &c, 1) > 0) {
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    EXPECT_NO_THROW(con.Open(logbook::ConnectionString(dir.folder())));
    close(release[1]);
    waitpid(reader, nullptr, 0);
    addEntry("KJFK");
    EXPECT_EQ(countRows(path), 2);
}
