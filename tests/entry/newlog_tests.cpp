// Filing new entries through the real new-entry window, against a real logbook file.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include "EntryTesting.h"
#include "entry/frmNewLog.h"
#include "platform/Controls.h"
#include "platform/Twips.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using platform::vbNo;
using platform::vbYes;
using wt::test::ReadRows;
using wt::test::Type;
using wt::test::WhenShown;

namespace {

class NewLog : public ::testing::Test {
protected:
    wt::test::ProgramFolder folder;
    wt::test::Seams seams;

    std::vector<wt::test::Row> rows() const { return ReadRows(folder.databasePath()); }

    // Shows the window modally and runs whileOpen in it. Returns whether the window had
    // closed by itself when whileOpen ended; a window still open is closed with its close
    // control, as the user would.
    bool run(frmNewLog& form, const std::function<void()>& whileOpen)
    {
        bool closedByItself = false;
        WhenShown([&] {
            whileOpen();
            closedByItself = !form.isVisible();
            if (!closedByItself)
                form.close();
        });
        form.showModal(nullptr);
        return closedByItself;
    }

    static void save(frmNewLog& form) { QTest::mouseClick(form.cmdSave, Qt::LeftButton); }

    void expectClosedAfterUnload()
    {
        EXPECT_FALSE(Module1::conLog->isOpen());
        EXPECT_FALSE(Module1::rsLog->isOpen());
    }
};

std::optional<std::string> S(const char* s) { return std::string(s); }

} // namespace

TEST_F(NewLog, OpeningAndClosingStoresNothing)
{
    frmNewLog form;
    bool openWhileShown = false;
    EXPECT_FALSE(run(form, [&] { openWhileShown = Module1::conLog->isOpen() && Module1::rsLog->isOpen(); }));
    EXPECT_TRUE(openWhileShown);
    EXPECT_TRUE(rows().empty());
    expectClosedAfterUnload();
    EXPECT_TRUE(seams.questions.empty());
    EXPECT_TRUE(seams.errors.empty());
}

TEST_F(NewLog, SaveAnsweredNoStoresOneEntryAndCloses)
{
    seams.answers = {vbNo};
    frmNewLog form;
    EXPECT_TRUE(run(form, [&] {
        Type(form.txtFrom, "EHAM");
        save(form);
    }));
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].at("departure"), S("EHAM"));
    ASSERT_EQ(seams.questions.size(), 1u);
    EXPECT_EQ(seams.questions[0].prompt, "Log File save\r\nFile another log?");
    EXPECT_EQ(seams.questions[0].buttons, 36);
    EXPECT_EQ(seams.questions[0].title, "Wingtrail");
    expectClosedAfterUnload();
    EXPECT_TRUE(seams.errors.empty());
}

TEST_F(NewLog, YesGivesAFreshRecordAndWhatIsNotSavedIsDropped)
{
    seams.answers = {vbYes, vbNo};
    frmNewLog form;
    EXPECT_TRUE(run(form, [&] {
        Type(form.txtFrom, "EHAM");
        Type(form.txtPax, "120");
        form.chkNextDay->setChecked(true);
        form.txtFlightRule->setCurrentIndex(0);
        save(form); // Yes
        // The controls show the new, empty record.
        EXPECT_TRUE(form.txtFrom->text().isEmpty());
        EXPECT_TRUE(form.txtPax->text().isEmpty());
        EXPECT_FALSE(form.chkNextDay->isChecked());
        EXPECT_TRUE(form.txtFlightRule->currentText().isEmpty());
        Type(form.txtFrom, "EGLL");
        save(form); // No
    }));
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].at("departure"), S("EHAM"));
    EXPECT_EQ(r[0].at("pax"), S("120"));
    EXPECT_EQ(r[1].at("departure"), S("EGLL"));
    EXPECT_EQ(r[1].at("pax"), std::nullopt);
    EXPECT_NE(r[0].at("logid"), r[1].at("logid"));
    EXPECT_EQ(seams.questions.size(), 2u);

    // Typed after a Yes and closed without Save: lost, as the user was told by no Save.
    seams.answers = {vbYes};
    frmNewLog again;
    EXPECT_FALSE(run(again, [&] {
        EXPECT_TRUE(again.txtFrom->text().isEmpty()) << "nothing carries over from an earlier opening";
        Type(again.txtFrom, "LFPG");
        save(again); // Yes
        Type(again.txtFrom, "KJFK");
        Type(again.txtTo, "KBOS");
    }));
    const auto after = rows();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2].at("departure"), S("LFPG"));
    EXPECT_EQ(after[2].at("destination"), std::nullopt);
    expectClosedAfterUnload();
}

TEST_F(NewLog, EveryFieldReachesTheFile)
{
    seams.answers = {vbNo};
    frmNewLog form;
    run(form, [&] {
        form.txtDate->setDate(QDate(2024, 3, 5));
        Type(form.txtFrom, "EHAM");
        Type(form.txtTo, "LPPT");
        Type(form.txtDepTime, "23:10");
        Type(form.txtArrTime, "01:55");
        QTest::mouseClick(form.chkNextDay, Qt::LeftButton, {}, QPoint(6, form.chkNextDay->height() / 2));
        Type(form.txtFlightTime, "2,75");
        Type(form.txtAircraft, "B737-800");
        Type(form.txtAirline, "Transavia");
        Type(form.txtCallsign, "TRA6231");
        form.txtFlightRule->setCurrentIndex(form.txtFlightRule->findText("SVFR"));
        Type(form.txtPax, "183");
        Type(form.txtCargo, "4200");
        Type(form.txtRemarks, "Smooth\rLanded 03");
        Type(form.txtRoute, "LOPIK UL980 NAVPI");
        save(form);
    });
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    const wt::test::Row expected = {
        {"logid", S("1")},          {"date", S("2024-03-05")},       {"departure", S("EHAM")},
        {"timeDeparture", S("23:10")}, {"destination", S("LPPT")},     {"timeArrival", S("01:55")},
        {"nextday", S("1")},        {"flighttime", S("2.75")},       {"aircraft", S("B737-800")},
        {"airline", S("Transavia")}, {"callsign", S("TRA6231")},     {"flightrule", S("SVFR")},
        {"pax", S("183")},          {"cargo", S("4200")},            {"remarks", S("Smooth\nLanded 03")},
        {"route", S("LOPIK UL980 NAVPI")},
    };
    EXPECT_EQ(r[0], expected);
    EXPECT_TRUE(seams.errors.empty());
}

TEST_F(NewLog, FlightRuleIsWhatWasPickedOrTyped)
{
    struct Case {
        const char* pick; // an item to pick, or null
        const char* type; // text to type into the box, or null
        const char* stored;
    };
    const Case cases[] = {
        {"SVFR", nullptr, "SVFR"},
        {"IFR", nullptr, "IFR"},
        {nullptr, "V", "V"},                // typed text is not completed to an item
        {nullptr, "Y (IFR then VFR)", "Y (IFR then VFR)"},
        {"VFR", "/night", "VFR/night"},     // picked, then typed on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        seams.answers = {vbNo};
        frmNewLog form;
        run(form, [&] {
            if (c.pick)
                form.txtFlightRule->setCurrentIndex(form.txtFlightRule->findText(c.pick));
            if (c.type) {
                QApplication::setActiveWindow(&form);
                form.txtFlightRule->setFocus();
                form.txtFlightRule->lineEdit()->end(false);
                Type(form.txtFlightRule, c.type);
            }
            save(form);
        });
        EXPECT_EQ(rows().back().at("flightrule"), S(c.stored));
        EXPECT_EQ(form.txtFlightRule->count(), 3);
    }
}

TEST_F(NewLog, PastedTextPassesTheFiltersAndOtherTextIsStoredAsItStands)
{
    seams.answers = {vbNo};
    frmNewLog form;
    const QString callsign(200, QLatin1Char('C'));
    const QString quotes = QStringLiteral("O'Hare \"Intl\"; DROP TABLE tblLog; --");
    auto paste = [&](QWidget* box, const QString& text) {
        QApplication::clipboard()->setText(text);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    };
    run(form, [&] {
        // What the filter refuses is left out, with one beep for each paste.
        paste(form.txtPax, QStringLiteral("12a"));
        paste(form.txtCargo, QStringLiteral("1 500 lbs"));
        paste(form.txtFlightTime, QStringLiteral("1,5h"));
        paste(form.txtDepTime, QStringLiteral("12.30"));
        EXPECT_EQ(form.txtPax->text().toStdString(), "12");
        EXPECT_EQ(form.txtCargo->text().toStdString(), "1500");
        EXPECT_EQ(form.txtFlightTime->text().toStdString(), "1.5");
        EXPECT_EQ(form.txtDepTime->text().toStdString(), "1230");
        EXPECT_EQ(seams.beeps, 4);
        // The boxes without a filter take any text.
        paste(form.txtCallsign, callsign);
        paste(form.txtFrom, quotes);
        save(form);
    });
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].at("pax"), S("12"));
    EXPECT_EQ(r[0].at("cargo"), S("1500"));
    EXPECT_EQ(r[0].at("flighttime"), S("1.5"));
    EXPECT_EQ(r[0].at("timeDeparture"), S("1230"));
    EXPECT_EQ(r[0].at("callsign"), callsign.toStdString());
    EXPECT_EQ(r[0].at("departure"), quotes.toStdString());
    EXPECT_TRUE(seams.errors.empty());
    expectClosedAfterUnload();
}

// A logbook made by another program may hold rules of its own, such as a length for the
// airline, which the new-entry window does not limit.
TEST_F(NewLog, AValueTheLogbookRefusesIsNamedAndTheEntryStaysToBeCorrected)
{
    folder.useTableWithoutRules(", CHECK (length(airline) <= 100)");
    folder.exec("INSERT INTO tblLog (departure) VALUES ('filed before')");
    const QString airline(150, QLatin1Char('A'));
    frmNewLog form;
    seams.answers = {platform::vbOK, vbNo};
    const bool closed = run(form, [&] {
        Type(form.txtFrom, "EHAM");
        Type(form.txtPax, "120");
        form.txtAirline->setText(airline);
        save(form);
        // Refused: the user is told which box and why, and nothing else happens.
        ASSERT_EQ(seams.questions.size(), 1u);
        const QString told = seams.questions[0].prompt;
        EXPECT_TRUE(told.startsWith("Airline: the logbook cannot store 'AAAA")) << told.toStdString();
        EXPECT_TRUE(told.contains("length(airline) <= 100")) << told.toStdString();
        EXPECT_TRUE(told.contains("Nothing was saved")) << told.toStdString();
        EXPECT_TRUE(told.contains("press Save again")) << told.toStdString();
        EXPECT_EQ(seams.questions[0].buttons, platform::vbExclamation);
        EXPECT_EQ(seams.questions[0].title, "Wingtrail");
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(rows().size(), 1u);
        EXPECT_EQ(form.txtFrom->text().toStdString(), "EHAM");
        EXPECT_EQ(form.txtPax->text().toStdString(), "120");
        EXPECT_EQ(form.txtAirline->text(), airline);
        EXPECT_EQ(form.focusWidget(), form.txtAirline) << "the focus waits in the box to correct";
        // Corrected, the same record is stored with everything typed into it.
        form.txtAirline->setText(airline.left(100));
        save(form); // No
    });
    EXPECT_TRUE(closed);
    ASSERT_EQ(seams.questions.size(), 2u);
    EXPECT_EQ(seams.questions[1].prompt, "Log File save\r\nFile another log?");
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].at("departure"), S("EHAM"));
    EXPECT_EQ(r[1].at("pax"), S("120"));
    EXPECT_EQ(r[1].at("airline"), airline.left(100).toStdString());
    EXPECT_TRUE(seams.errors.empty()) << "a refused value is not a program error";
    expectClosedAfterUnload();
}

TEST_F(NewLog, KeepsItsMinimumSizeAndStretchesTheFrame)
{
    const int frameHeight = platform::px(5415);
    struct Case {
        const char* name;
        int width, height;          // twips asked for
        int keptWidth, keptHeight;  // twips the window keeps
    };
    const Case cases[] = {
        {"narrow", 9000, 9000, 10710, 9000},
        {"low", 12000, 6000, 12000, 8190},
        {"both", 3000, 3000, 10710, 8190},
        {"exactly the minimum", 10710, 8190, 10710, 8190},
        {"larger", 15000, 9750, 15000, 9750},
    };
    frmNewLog form;
    ASSERT_TRUE(form.showNormal());
    // The first showing already applies the rule.
    EXPECT_GE(form.outerWidthTwips(), frmNewLog::kMinWidth);
    EXPECT_EQ(form.Frame1->width(), form.client()->width() - 1);
    const QRect saveAt = form.cmdSave->geometry();
    const QRect pax = form.txtPax->geometry();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form.setOuterSizeTwips(c.width, c.height);
        EXPECT_EQ(form.outerWidthTwips(), c.keptWidth);
        EXPECT_EQ(form.outerHeightTwips(), c.keptHeight);
        EXPECT_EQ(form.Frame1->width(), form.client()->width() - 1);
        EXPECT_EQ(form.Frame1->height(), frameHeight);
        EXPECT_EQ(form.cmdSave->geometry(), saveAt);
        EXPECT_EQ(form.txtPax->geometry(), pax);
        EXPECT_EQ(form.StatusBar1->width(), form.client()->width());
        EXPECT_EQ(form.StatusBar1->geometry().bottom(), form.client()->height() - 1);
    }
    {
        SCOPED_TRACE("maximized");
        form.showMaximized();
        QTest::qWait(0);
        EXPECT_EQ(form.windowStateValue(), platform::vbMaximized);
        EXPECT_EQ(form.Frame1->width(), form.client()->width() - 1);
        EXPECT_EQ(form.Frame1->height(), frameHeight);
    }
    {
        SCOPED_TRACE("minimized");
        form.showNormal();
        form.setOuterSizeTwips(12000, 9000);
        const int frameWidth = form.Frame1->width();
        form.showMinimized();
        QTest::qWait(0);
        ASSERT_EQ(form.windowStateValue(), platform::vbMinimized);
        form.resize(100, 100); // what a minimized window may report
        EXPECT_EQ(form.size(), QSize(100, 100));
        EXPECT_EQ(form.Frame1->width(), frameWidth);
        // Restoring applies the rule again.
        form.setWindowState(Qt::WindowNoState);
        QTest::qWait(0);
        EXPECT_EQ(form.outerWidthTwips(), frmNewLog::kMinWidth);
        EXPECT_EQ(form.outerHeightTwips(), frmNewLog::kMinHeight);
        EXPECT_EQ(form.Frame1->width(), form.client()->width() - 1);
    }
    form.close();
    EXPECT_TRUE(seams.errors.empty());
}

TEST_F(NewLog, OpensAtItsFixedPlace)
{
    frmNewLog form;
    // The client area's top-left corner on the screen, in twips.
    const QPoint at = form.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(at, QPoint(platform::px(480), platform::px(555)));
}
