// Editing one entry through the real edit window, against a real logbook file. The
// fixture stands in for the overview window: it holds conLog and rsLog open on all entries
// and counts the refills the edit window asks of it.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "EntryTesting.h"
#include "entry/frmEditLog.h"
#include "platform/Controls.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using platform::vbNo;
using platform::vbYes;
using wt::test::ReadRows;
using wt::test::Type;
using wt::test::WhenShown;

namespace {

std::optional<std::string> S(const char* s) { return std::string(s); }

class EditLog : public ::testing::Test {
protected:
    wt::test::ProgramFolder folder;
    wt::test::Seams seams;
    int refills = 0;
    bool rsLogOpenAtRefill = false;
    std::vector<std::string> idsAtRefill;

    void SetUp() override
    {
        folder.exec("INSERT INTO tblLog (logid, date, departure, destination, timeArrival, nextday, pax, cargo, callsign)"
                    " VALUES (7, '2024-01-02', 'EHAM', 'EGLL', '10:00', 0, 150, 800, 'KLM1000')");
        Module1::conLog->Open();
        Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
        while (!Module1::rsLog->Eof())
            Module1::rsLog->MoveNext();
    }
    void TearDown() override { EXPECT_TRUE(seams.errors.empty() || expectErrors_); }

    // The owner's list fill: reads rsLog front to back, as the overview does.
    std::function<void()> refill()
    {
        return [this] {
            ++refills;
            rsLogOpenAtRefill = Module1::rsLog->isOpen();
            idsAtRefill.clear();
            for (; !Module1::rsLog->Eof(); Module1::rsLog->MoveNext())
                idsAtRefill.push_back(Module1::rsLog->Fields("logid").toText());
        };
    }

    // Shows the window for intLogId and runs whileOpen in it; returns whether the window
    // had closed by itself by then (a window still open is closed with its close control).
    bool run(frmEditLog& form, std::int64_t logid, const std::function<void()>& whileOpen)
    {
        Module1::intLogId = logid;
        bool closedByItself = false;
        bool shown = false;
        WhenShown([&] {
            shown = true;
            whileOpen();
            closedByItself = !form.isVisible();
            if (!closedByItself)
                form.close();
        });
        form.showModal(nullptr);
        if (!shown)
            QTest::qWait(0); // the window never showed: let the pending call see that
        return closedByItself;
    }

    static void save(frmEditLog& form) { QTest::mouseClick(form.cmdSave, Qt::LeftButton); }

    wt::test::Row row(std::int64_t logid) const
    {
        const auto r = ReadRows(folder.databasePath(), "SELECT * FROM tblLog WHERE logid = " + std::to_string(logid));
        return r.empty() ? wt::test::Row{} : r[0];
    }

    bool expectErrors_ = false;
};

} // namespace

TEST_F(EditLog, ShowsTheChosenEntry)
{
    // Neighbours whose numbers begin or end like the chosen one must not be picked; numbers
    // past 16 bits are entries like any other.
    folder.exec("INSERT INTO tblLog (logid, departure) VALUES (1, 'one'), (17, 'seventeen'), (170, 'one-seventy'),"
                " (3276, 'short'), (32767, 'last'), (327, 'prefix'), (32768, 'past 16 bits'),"
                " (1099511627776, 'two to the fortieth'), (-32768, 'wraps to this')");
    for (const auto& [id, departure] : std::vector<std::pair<std::int64_t, const char*>>{
             {17, "seventeen"}, {32767, "last"}, {7, "EHAM"}, {32768, "past 16 bits"},
             {std::int64_t{1} << 40, "two to the fortieth"}}) {
        SCOPED_TRACE(id);
        frmEditLog form(refill());
        run(form, id, [&] {
            EXPECT_EQ(form.txtFrom->text(), departure);
            ASSERT_TRUE(Module1::rsEdit && Module1::rsEdit->isOpen());
            EXPECT_EQ(Module1::rsEdit->Fields("logid").toText(), std::to_string(id));
        });
    }
    frmEditLog form(refill());
    run(form, 7, [&] {
        EXPECT_EQ(form.txtDate->date(), QDate(2024, 1, 2));
        EXPECT_EQ(form.txtTo->text(), "EGLL");
        EXPECT_EQ(form.txtArrTime->text(), "10:00");
        EXPECT_FALSE(form.chkNextDay->isChecked());
        EXPECT_EQ(form.txtPax->text(), "150");
        EXPECT_EQ(form.txtCargo->text(), "800");
        EXPECT_TRUE(form.txtFlightRule->currentText().isEmpty());
    });
    EXPECT_EQ(refills, 6);
}

TEST_F(EditLog, OnlySaveWritesAndClosingDropsWhatCameAfterIt)
{
    const auto before = row(7);
    frmEditLog form(refill());
    seams.answers = {vbNo, vbNo};
    const bool closed = run(form, 7, [&] {
        form.txtFrom->selectAll();
        Type(form.txtFrom, "LFPG");
        save(form); // No: stays open on the same entry
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(row(7).at("departure"), S("LFPG"));
        form.txtTo->selectAll();
        Type(form.txtTo, "LEMD");
        QTest::mouseClick(form.chkNextDay, Qt::LeftButton, {}, QPoint(6, form.chkNextDay->height() / 2));
        save(form); // No
        EXPECT_EQ(row(7).at("destination"), S("LEMD"));
        EXPECT_EQ(row(7).at("nextday"), S("1"));
        // Changed after the last Save, then closed: dropped.
        form.txtFrom->selectAll();
        Type(form.txtFrom, "KJFK");
        Type(form.txtPax, "\b\b\b9");
    });
    EXPECT_FALSE(closed);
    auto after = row(7);
    EXPECT_EQ(after.at("departure"), S("LFPG"));
    EXPECT_EQ(after.at("destination"), S("LEMD"));
    EXPECT_EQ(after.at("nextday"), S("1"));
    EXPECT_EQ(after.at("pax"), S("150"));
    after["departure"] = before.at("departure");
    after["destination"] = before.at("destination");
    after["nextday"] = before.at("nextday");
    EXPECT_EQ(after, before) << "fields nobody touched keep their values";
    ASSERT_EQ(seams.questions.size(), 2u);
    for (const auto& q : seams.questions) {
        EXPECT_EQ(q.prompt, "Your changes are saved\r\nExit?");
        EXPECT_EQ(q.buttons, 36);
        EXPECT_EQ(q.title, "Wingtrail");
    }
    EXPECT_EQ(refills, 1);
    EXPECT_TRUE(rsLogOpenAtRefill);
    EXPECT_EQ(idsAtRefill, std::vector<std::string>{"7"});
    EXPECT_FALSE(Module1::rsEdit->isOpen());
    EXPECT_TRUE(Module1::conLog->isOpen()) << "the connection belongs to the overview";
    EXPECT_TRUE(Module1::rsLog->isOpen());
}

TEST_F(EditLog, SaveWithNothingChangedStillAsksAndYesCloses)
{
    const auto before = row(7);
    frmEditLog form(refill());
    seams.answers = {vbYes};
    EXPECT_TRUE(run(form, 7, [&] { save(form); }));
    ASSERT_EQ(seams.questions.size(), 1u);
    EXPECT_EQ(seams.questions[0].prompt, "Your changes are saved\r\nExit?");
    EXPECT_EQ(row(7), before);
    EXPECT_EQ(refills, 1);
}

TEST_F(EditLog, ClosingWithoutSaveChangesNothingAndStillRefillsTheOwner)
{
    const auto before = row(7);
    frmEditLog form(refill());
    run(form, 7, [&] {
        form.txtFrom->clear();
        Type(form.txtFrom, "ZZZZ");
        form.txtFlightRule->setCurrentIndex(2);
        form.txtDate->setDate(QDate(1999, 12, 31));
    });
    EXPECT_EQ(row(7), before);
    EXPECT_TRUE(seams.questions.empty());
    EXPECT_EQ(refills, 1);
    EXPECT_TRUE(rsLogOpenAtRefill);
    EXPECT_EQ(idsAtRefill, std::vector<std::string>{"7"});
}

TEST_F(EditLog, AnEntryThatIsGoneIsReportedAndNothingIsWritten)
{
    folder.exec("DELETE FROM tblLog WHERE logid = 7");
    frmEditLog form(refill());
    bool shown = false;
    Module1::intLogId = 7;
    WhenShown([&] {
        shown = form.isVisible();
        form.close();
    });
    form.showModal(nullptr);
    QTest::qWait(0);
    EXPECT_FALSE(shown) << "the window closes at once";
    ASSERT_EQ(seams.questions.size(), 1u);
    EXPECT_EQ(seams.questions[0].prompt, frmEditLog::kEntryGoneMessage);
    EXPECT_EQ(seams.questions[0].buttons, platform::vbExclamation);
    EXPECT_EQ(seams.questions[0].title, "Wingtrail");
    EXPECT_TRUE(ReadRows(folder.databasePath()).empty());
    EXPECT_EQ(refills, 1);
    EXPECT_TRUE(idsAtRefill.empty());
    EXPECT_FALSE(Module1::rsEdit->isOpen());
    EXPECT_TRUE(seams.errors.empty());
}

TEST_F(EditLog, AFailedSaveGoesToTheErrorHandlerAndLeavesTheEntryAsItWas)
{
    expectErrors_ = true;
    const auto before = row(7);
    // Another program holds the file: every write waits out the busy timeout and fails.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(folder.databasePath().c_str(), &other), SQLITE_OK);
    frmEditLog form(refill());
    run(form, 7, [&] {
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        form.txtFrom->clear();
        Type(form.txtFrom, "LOCK");
        save(form);
        EXPECT_EQ(seams.errors.size(), 1u);
        EXPECT_TRUE(seams.questions.empty()) << "a failed Save does not say the changes are saved";
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    });
    sqlite3_close(other);
    ASSERT_EQ(seams.errors.size(), 1u);
    EXPECT_NE(seams.errors[0].description().find("locked"), std::string::npos) << seams.errors[0].description();
    EXPECT_EQ(row(7), before);
    EXPECT_EQ(refills, 1);
}

TEST_F(EditLog, ALongerCallsignThanTheBoxTakesIsShownWholeAndKeptUnlessEdited)
{
    // Filed through the new-entry window, which sets no limit on the callsign.
    folder.exec("UPDATE tblLog SET callsign = 'SPEEDBIRD 123A', airline = '" + std::string(150, 'A') + "' WHERE logid = 7");
    frmEditLog form(refill());
    seams.answers = {vbNo, vbYes};
    run(form, 7, [&] {
        EXPECT_EQ(form.txtCallsign->text(), "SPEEDBIRD 123A");
        EXPECT_EQ(form.txtAirline->text().size(), 150);
        form.txtPax->end(false); // the box opened showing its start
        Type(form.txtPax, "1");
        save(form); // No
        EXPECT_EQ(row(7).at("callsign"), S("SPEEDBIRD 123A"));
        EXPECT_EQ(row(7).at("airline"), std::string(150, 'A'));
        // A full box takes no more; deleting works as always.
        form.txtCallsign->end(false);
        Type(form.txtCallsign, "X\b\b\b\b\bZ");
        EXPECT_EQ(form.txtCallsign->text(), "SPEEDBIRDZ");
        save(form); // Yes
    });
    EXPECT_EQ(row(7).at("callsign"), S("SPEEDBIRDZ"));
    EXPECT_EQ(row(7).at("pax"), S("1501"));
}

TEST_F(EditLog, ValuesTheWindowCannotShowStayStoredUnlessTheUserChangesThem)
{
    // Written by another program into a table without our rules.
    folder.useTableWithoutRules();
    folder.exec("INSERT INTO tblLog (logid, date, departure, nextday) VALUES (1, NULL, 'A', NULL),"
                " (2, 20240517, 'B', NULL), (3, 45000.5, 'C', 'yes'), (4, 'not a date', 'D', NULL)");
    const std::string asStored = "SELECT logid, typeof(date) AS t, date, typeof(nextday) AS n, nextday, departure"
                                 " FROM tblLog ORDER BY logid";
    const auto before = ReadRows(folder.databasePath(), asStored);
    Module1::rsLog->Close();
    Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
    for (int logid = 1; logid <= 4; ++logid) {
        SCOPED_TRACE(logid);
        frmEditLog form(refill());
        seams.answers = {vbYes};
        EXPECT_TRUE(run(form, static_cast<std::int16_t>(logid), [&] {
            EXPECT_EQ(form.txtDate->date(), QDate::currentDate()) << "what it shows for a date it cannot show";
            EXPECT_FALSE(form.chkNextDay->isChecked());
            form.txtFrom->selectAll();
            Type(form.txtFrom, "EDDF"); // another field changes; date and flag are left alone
            save(form);
        }));
    }
    auto after = ReadRows(folder.databasePath(), asStored);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].at("departure"), S("EDDF"));
        after[i]["departure"] = before[i].at("departure");
        EXPECT_EQ(after[i], before[i]);
    }
    // Changed by the user, they are written.
    frmEditLog form(refill());
    seams.answers = {vbYes};
    run(form, 4, [&] {
        form.txtDate->setDate(QDate(9999, 12, 31));
        QTest::mouseClick(form.chkNextDay, Qt::LeftButton, {}, QPoint(6, form.chkNextDay->height() / 2));
        save(form);
    });
    EXPECT_EQ(row(4).at("date"), S("9999-12-31"));
    EXPECT_EQ(row(4).at("nextday"), S("1"));
}

TEST_F(EditLog, AValueTheLogbookRefusesIsNamedAndSaveWorksOnceItIsCorrected)
{
    // Another program wrote a text into the passengers field.
    folder.useTableWithoutRules();
    folder.exec("INSERT INTO tblLog (logid, departure, pax) VALUES (5, 'EHAM', 'abc')");
    frmEditLog form(refill());
    seams.answers = {platform::vbOK, vbYes};
    const bool closed = run(form, 5, [&] {
        EXPECT_EQ(form.txtPax->text().toStdString(), "abc") << "shown as stored";
        form.txtFrom->selectAll();
        Type(form.txtFrom, "LFPG");
        form.txtPax->end(false);
        Type(form.txtPax, "\b"); // "ab"
        save(form);
        ASSERT_EQ(seams.questions.size(), 1u);
        const QString told = seams.questions[0].prompt;
        EXPECT_TRUE(told.startsWith("Passengers: the logbook cannot store 'ab'.")) << told.toStdString();
        EXPECT_TRUE(told.contains("only a whole number")) << told.toStdString();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(row(5).at("departure"), S("EHAM"));
        EXPECT_EQ(form.txtFrom->text().toStdString(), "LFPG");
        Type(form.txtPax, "\b\b42");
        save(form); // Yes
    });
    EXPECT_TRUE(closed);
    ASSERT_EQ(seams.questions.size(), 2u);
    EXPECT_EQ(seams.questions[1].prompt, "Your changes are saved\r\nExit?");
    EXPECT_EQ(row(5).at("departure"), S("LFPG"));
    EXPECT_EQ(row(5).at("pax"), S("42"));
    EXPECT_TRUE(seams.errors.empty());
}
