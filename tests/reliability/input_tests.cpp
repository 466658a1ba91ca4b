// Bad input through the real windows and a real logbook file: every code point through the
// key filters, pasted text of every kind into every box, the first and the last date the
// picker knows, and values another program wrote that the windows must show or refuse.
// Each case ends with what the user sees and what the file holds, read with plain SQLite.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "entry/EntryTesting.h"
#include "entry/frmEditLog.h"
#include "entry/frmNewLog.h"
#include "overview/frmOverviewLog.h"
#include "platform/Controls.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using platform::vbNo;
using platform::vbOK;
using platform::vbYes;
using namespace wt::test;

namespace {

using Field = std::optional<std::string>;

// The rows as another program reads them, each value whole (an embedded NUL included).
std::vector<std::map<std::string, Field>> StoredRows(const std::string& databasePath)
{
    sqlite3* db = nullptr;
    std::vector<std::map<std::string, Field>> rows;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << databasePath;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM tblLog ORDER BY logid", -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            Field v;
            if (sqlite3_column_type(stmt, i) != SQLITE_NULL) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                v = std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
            }
            row[sqlite3_column_name(stmt, i)] = v;
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

// Shows a modal window and runs whileOpen in it; a window still open then is closed.
void WhileOpen(platform::Form& form, const std::function<void()>& whileOpen)
{
    WhenShown([&] {
        whileOpen();
        if (form.isVisible())
            form.close();
    });
    form.showModal(nullptr);
}

// ---------------------------------------------------------------------------------------
// The key filters

enum class Filter { Time, Decimal, Digit };

// The documented sets: digits and Backspace, plus ':' for a time, plus '.' for a decimal,
// where a comma is taken as a period. Returns the code the box receives, or 0 for refused.
int Documented(Filter f, long long code)
{
    if ((code >= '0' && code <= '9') || code == 8)
        return static_cast<int>(code);
    if (f == Filter::Time && code == ':')
        return ':';
    if (f == Filter::Decimal && (code == '.' || code == ','))
        return '.';
    return 0;
}

struct FilteredBox {
    const char* name;
    Filter filter;
};

constexpr FilteredBox kFilteredBoxes[] = {
    {"txtDepTime", Filter::Time},  {"txtArrTime", Filter::Time}, {"txtFlightTime", Filter::Decimal},
    {"txtPax", Filter::Digit},     {"txtCargo", Filter::Digit},
};

std::unique_ptr<LogEntryForm> MakeForm(bool editWindow)
{
    if (editWindow)
        return std::make_unique<frmEditLog>();
    return std::make_unique<frmNewLog>();
}

} // namespace

// Each box's own KeyPress hook, as the windows install it, for every code point: exactly
// the documented characters pass (a comma as a period), everything else is dropped with
// one beep.
TEST(BadInputKeys, EveryCodePointMeetsExactlyTheDocumentedFilter)
{
    for (const bool editWindow : {false, true}) {
        auto form = MakeForm(editWindow);
        for (const FilteredBox& f : kFilteredBoxes) {
            SCOPED_TRACE(std::string(editWindow ? "frmEditLog." : "frmNewLog.") + f.name);
            auto* box = form->findChild<platform::TextBox*>(QString::fromLatin1(f.name));
            ASSERT_TRUE(box && box->KeyPress);
            Seams seams;
            int wrong = 0;
            int passed = 0;
            auto check = [&](long long code) {
                int k = static_cast<int>(code);
                const int beepsBefore = seams.beeps;
                box->KeyPress(k);
                const int expected = Documented(f.filter, code);
                const int beeped = seams.beeps - beepsBefore;
                passed += k != 0;
                if ((k != expected || beeped != (expected == 0 ? 1 : 0)) && ++wrong <= 5)
                    ADD_FAILURE() << "code " << code << " became " << k << " with " << beeped << " beeps";
            };
            for (long long code = 0; code <= 0x10FFFF; ++code)
                check(code);
            EXPECT_EQ(passed, f.filter == Filter::Digit ? 11 : f.filter == Filter::Time ? 12 : 13);
            // Codes are whole numbers: nothing outside the set passes, whatever its size.
            for (const long long code : {-1LL, -46LL, 0x110000LL, 0x10000030LL, static_cast<long long>(INT_MAX),
                                         static_cast<long long>(INT_MIN)})
                check(code);
            EXPECT_EQ(wrong, 0);
        }
    }
}

// The whole range at once, pasted: what lands is what typing it would leave, cut at the
// box's length, with a single beep.
TEST(BadInputKeys, TheWholeRangePastedLeavesOnlyWhatTheFilterTakes)
{
    QString everything;
    everything.reserve(0x110000 * 2);
    for (char32_t c = 0; c <= 0x10FFFF; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            everything += QString::fromUcs4(&c, 1);
    const std::pair<const char*, const char*> shows[] = {
        {"txtDepTime", "01234"}, {"txtArrTime", "01234"}, {"txtFlightTime", "..012"},
        {"txtPax", "01234"},     {"txtCargo", "0123456789"},
    };
    QApplication::clipboard()->setText(everything);
    for (const bool editWindow : {false, true}) {
        auto form = MakeForm(editWindow);
        for (const auto& [name, text] : shows) {
            SCOPED_TRACE(std::string(editWindow ? "frmEditLog." : "frmNewLog.") + name);
            auto* box = form->findChild<platform::TextBox*>(QString::fromLatin1(name));
            ASSERT_TRUE(box);
            Seams seams;
            box->setFocus();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(box->text().toStdString(), text);
            EXPECT_EQ(seams.beeps, 1);
        }
    }
}

namespace {

// ---------------------------------------------------------------------------------------
// Pasted text

struct PastedKind {
    const char* what;
    QString text;
};

std::vector<PastedKind> PastedKinds()
{
    QString veryLong;
    while (veryLong.size() < 100000)
        veryLong += QStringLiteral("KLM1234 12:30 1,5 ");
    veryLong.truncate(100000);
    return {
        {"very long", veryLong},
        {"quotes", QStringLiteral("O'Hare \"Intl\" `tick` \u2018curly\u2019 \u00abguillemets\u00bb \\")},
        {"SQL", QStringLiteral("'); DROP TABLE tblLog;--")},
        {"SQL in a number", QStringLiteral("1; DELETE FROM tblLog WHERE 1=1 --")},
        {"emoji", QStringLiteral("\u2708\ufe0f \U0001F6EC \U0001F469\u200D\u2708\uFE0F \U0001F1F3\U0001F1F1 7")},
        {"right-to-left", QStringLiteral("\u0645\u0637\u0627\u0631 \u062F\u0628\u064A \u200F12:30 \u05E9\u05DC\u05D5\u05DD")},
        {"newlines", QStringLiteral("EHAM\nEGLL\r\nLFPG\r12")},
        {"tabs and control characters", QStringLiteral("a\tb\u0001c\u007f\u001b[0m9")},
        {"a NUL inside", QStringLiteral("be") + QChar(0) + QStringLiteral("fore 4")},
        {"combining marks", QStringLiteral("Zu\u0308rich e\u0301 \u0915\u094D\u0937 8")},
        {"signs and separators", QStringLiteral("-12,5 +3:4 1e3 0x1F \u00a0 \u2009")},
    };
}


// Every box of the form with the field it is bound to; the two number fields are stored as
// numbers, so their text reads back in plain decimal.
struct Box {
    const char* name;
    const char* field;
    bool number = false;
};

constexpr Box kBoxes[] = {
    {"txtFrom", "departure"},        {"txtTo", "destination"},        {"txtDepTime", "timeDeparture"},
    {"txtArrTime", "timeArrival"},   {"txtFlightTime", "flighttime"}, {"txtAircraft", "aircraft"},
    {"txtAirline", "airline"},       {"txtCallsign", "callsign"},     {"txtFlightRule", "flightrule"},
    {"txtPax", "pax", true},         {"txtCargo", "cargo", true},     {"txtRemarks", "remarks"},
    {"txtRoute", "route"},
};

QWidget* Control(QWidget* form, const char* name)
{
    auto* w = form->findChild<QWidget*>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

// What a box shows, as its text.
QString Shown(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    if (auto* combo = qobject_cast<QComboBox*>(box))
        return combo->currentText();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(box))
        return multi->toPlainText();
    return {};
}

// What the file must hold for a box that shows `text`: Null for an empty box, a number in
// plain decimal for the number fields, the text itself otherwise.
Field StoredFor(const Box& box, const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    if (box.number)
        return std::to_string(text.toLongLong());
    return text.toStdString();
}

// Replaces what the box holds by the clipboard's text, as a user does: select all, paste.
void PasteOver(QWidget* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    QWidget* target = box;
    if (auto* combo = qobject_cast<QComboBox*>(box))
        target = combo->lineEdit();
    target->setFocus();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
}

// Pastes one kind of text into every box, saves, and notes what each box showed at Save.
void PasteEverywhereAndSave(LogEntryForm& form, const PastedKind& kind, std::map<std::string, Field>& expected)
{
    for (const Box& b : kBoxes) {
        QWidget* box = Control(&form, b.name);
        if (!box)
            continue;
        PasteOver(box, kind.text);
        expected[b.field] = StoredFor(b, Shown(box));
    }
    QTest::mouseClick(form.cmdSave, Qt::LeftButton);
}

} // namespace

TEST(BadInputPasted, EveryKindIntoEveryBoxOfTheNewEntryWindowIsStoredAsShown)
{
    ProgramFolder folder;
    Seams seams;
    const auto kinds = PastedKinds();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i].what);
        seams.answers = {vbNo};
        std::map<std::string, Field> expected;
        frmNewLog form;
        WhileOpen(form, [&] { PasteEverywhereAndSave(form, kinds[i], expected); });
        const auto rows = StoredRows(folder.databasePath());
        ASSERT_EQ(rows.size(), i + 1) << "one Save, one row";
        for (const auto& [field, value] : expected)
            EXPECT_EQ(rows.back().at(field), value) << field;
    }
    // The filtered boxes hold only what their filters take; the others the text, whole up
    // to their length.
    const auto rows = StoredRows(folder.databasePath());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].at("airline")->size(), 100000u) << "no limit in the new-entry window";
    EXPECT_EQ(rows[0].at("departure")->size(), 100u);
    EXPECT_EQ(rows[0].at("remarks")->size(), 1000u);
    EXPECT_EQ(rows[0].at("timeDeparture"), "12341");
    EXPECT_EQ(rows[0].at("flighttime"), "12341");
    EXPECT_TRUE(seams.errors.empty());
    EXPECT_EQ(seams.questions.size(), kinds.size()) << "one question a Save, no refusal";
}

TEST(BadInputPasted, EveryKindIntoEveryBoxOfTheEditWindowIsStoredAsShown)
{
    ProgramFolder folder;
    Seams seams;
    folder.exec("INSERT INTO tblLog (logid, date, departure, pax, cargo, remarks) VALUES (3, '2024-05-17', 'EHAM', 150,"
                " 800, 'before')");
    Module1::conLog->Open();
    Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
    for (const PastedKind& kind : PastedKinds()) {
        SCOPED_TRACE(kind.what);
        seams.answers = {vbYes};
        std::map<std::string, Field> expected;
        Module1::intLogId = 3;
        frmEditLog form;
        WhileOpen(form, [&] { PasteEverywhereAndSave(form, kind, expected); });
        const auto rows = StoredRows(folder.databasePath());
        ASSERT_EQ(rows.size(), 1u);
        for (const auto& [field, value] : expected)
            EXPECT_EQ(rows[0].at(field), value) << field;
        EXPECT_EQ(rows[0].at("date"), "2024-05-17") << "the date was not touched";
    }
    EXPECT_TRUE(seams.errors.empty());
    Module1::rsLog->Close();
    Module1::conLog->Close();
}

// ---------------------------------------------------------------------------------------
// The first and the last date

TEST(BadInputDates, TheFirstAndTheLastDateRoundTripThroughBothWindowsAndTheList)
{
    ProgramFolder folder;
    Seams seams;
    const QDate first(1601, 1, 1), last(9999, 12, 31);
    for (const QDate& d : {first, last}) {
        seams.answers = {vbNo};
        frmNewLog form;
        WhileOpen(form, [&] {
            form.txtDate->setDate(d);
            Type(form.txtFrom, d == first ? "FIRST" : "LAST");
            QTest::mouseClick(form.cmdSave, Qt::LeftButton);
        });
    }
    // Nothing goes beyond them.
    seams.answers = {vbNo};
    frmNewLog beyond;
    WhileOpen(beyond, [&] {
        beyond.txtDate->setDate(QDate(1600, 12, 31));
        EXPECT_EQ(beyond.txtDate->date(), first);
        QTest::mouseClick(beyond.cmdSave, Qt::LeftButton);
    });
    auto rows = StoredRows(folder.databasePath());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("date"), "1601-01-01");
    EXPECT_EQ(rows[1].at("date"), "9999-12-31");
    EXPECT_NE(rows[2].at("date"), "1600-12-31");

    // The list shows them; the edit window shows them and, untouched, keeps them.
    frmOverviewLog overview;
    WhileOpen(overview, [&] {
        EXPECT_EQ(overview.lstOverview->text(0, 1).toStdString(), "01-01-1601");
        EXPECT_EQ(overview.lstOverview->text(1, 1).toStdString(), "31-12-9999");
        for (const auto& [logid, date] : {std::pair{1, first}, std::pair{2, last}}) {
            Module1::intLogId = static_cast<std::int16_t>(logid);
            frmEditLog edit;
            seams.answers = {vbYes};
            WhileOpen(edit, [&] {
                EXPECT_EQ(edit.txtDate->date(), date);
                QTest::mouseClick(edit.cmdSave, Qt::LeftButton);
            });
        }
    });
    EXPECT_EQ(StoredRows(folder.databasePath()), rows);
    EXPECT_TRUE(seams.errors.empty());
}

// ---------------------------------------------------------------------------------------
// Values another program wrote

TEST(BadInputForeignValues, TheOverviewAndTheEditWindowShowOrRefuseThemAndChangeNothing)
{
    ProgramFolder folder;
    Seams seams;
    // Another program's table has none of our rules, so it holds whatever was written.
    folder.useTableWithoutRules();
    const std::string bigRemark(100 * 1024, 'r');
    folder.exec("INSERT INTO tblLog (logid, date, departure, timeArrival, nextday, pax, cargo, remarks) VALUES"
                " (1, '2024-05-17', 'pax abc', NULL, NULL, 'abc', 'lots', NULL),"
                " (2, 'not a date', 'date text', NULL, NULL, NULL, NULL, NULL),"
                " (3, NULL, 'date null', NULL, NULL, NULL, NULL, NULL),"
                " (4, 20240517, 'date integer', NULL, NULL, NULL, NULL, NULL),"
                " (5, 45000.5, 'date real', NULL, NULL, NULL, NULL, NULL),"
                " (6, '2024-05-17', 'nextday yes', '06:45', 'yes', 1.5, -3, NULL),"
                " (7, '2024-05-17', 'big remark', NULL, NULL, NULL, NULL, '" + bigRemark + "'),"
                " (32767, '2024-05-17', 'last 16-bit', NULL, NULL, NULL, NULL, NULL),"
                " (32768, '2024-05-17', 'past 16-bit', NULL, NULL, NULL, NULL, NULL),"
                " (1099511627776, '2024-05-17', 'two to the forty', NULL, NULL, NULL, NULL, NULL),"
                " (-5, '2024-05-17', 'negative', NULL, NULL, NULL, NULL, NULL)");
    const auto before = StoredRows(folder.databasePath());

    frmOverviewLog overview;
    WhileOpen(overview, [&] {
        ListView* list = overview.lstOverview;
        ASSERT_EQ(list->count(), 11);
        // Rows come in table order: -5 first.
        std::map<std::string, int> rowOf;
        for (int r = 0; r < list->count(); ++r)
            rowOf[list->text(r, 0).toStdString()] = r;
        auto cell = [&](const char* logid, int column) { return list->text(rowOf.at(logid), column).toStdString(); };
        EXPECT_EQ(cell("1", 10), "abc");
        EXPECT_EQ(cell("1", 11), "lots lbs");
        EXPECT_EQ(cell("2", 1), "not a date");
        EXPECT_EQ(cell("3", 1), "");
        EXPECT_EQ(cell("4", 1), "20240517");
        EXPECT_EQ(cell("5", 1), "45000.5");
        EXPECT_EQ(cell("6", 5), "06:45") << "'yes' is not True";
        EXPECT_EQ(cell("6", 10), "1.5");
        EXPECT_EQ(cell("6", 11), "-3 lbs");
        EXPECT_EQ(cell("7", 12).size(), bigRemark.size());
        for (const char* logid : {"32767", "32768", "1099511627776", "-5"})
            EXPECT_EQ(rowOf.count(logid), 1u) << logid;
        // Sorting by every column copes with all of it.
        for (int column = 1; column <= 14; ++column) {
            overview.lstOverview_ColumnClick(column);
            EXPECT_EQ(list->count(), 11);
        }

        // Each entry through the Edit command: the edit window opens on it, and a Save
        // with nothing changed writes nothing; or the command says clearly why it cannot.
        for (const auto& row : before) {
            const std::string logid = *row.at("logid");
            SCOPED_TRACE(logid);
            for (int r = 0; r < list->count(); ++r)
                if (list->text(r, 0).toStdString() == logid)
                    list->setCurrentIndex(list->model()->index(r, 0));
            ASSERT_EQ(list->selectedText().value_or(QString()).toStdString(), logid);
            const std::size_t asked = seams.questions.size();
            bool opened = false;
            WhenShown([&] {
                auto* edit = qobject_cast<frmEditLog*>(OpenWindow("frmEditLog"));
                if (!edit)
                    return;
                opened = true;
                EXPECT_EQ(edit->txtFrom->text().toStdString(), *row.at("departure"));
                seams.answers = {vbYes};
                QTest::mouseClick(edit->cmdSave, Qt::LeftButton);
                if (edit->isVisible())
                    edit->close();
            });
            QTest::mouseClick(overview.cmdEdit, Qt::LeftButton);
            QApplication::processEvents();
            ASSERT_GT(seams.questions.size(), asked) << "neither saved nor told";
            const QString told = seams.questions[asked].prompt;
            if (opened) {
                EXPECT_EQ(told, "Your changes are saved\r\nExit?");
            } else {
                EXPECT_TRUE(told.contains(QString::fromStdString(logid))) << told.toStdString();
                EXPECT_GT(std::stoll(logid), 32767) << "only numbers past intLogId may be refused";
            }
            EXPECT_FALSE(OpenWindow("frmEditLog"));
        }
        EXPECT_EQ(list->count(), 11);
    });
    EXPECT_EQ(StoredRows(folder.databasePath()), before) << "nothing the user left alone was written";
    EXPECT_TRUE(seams.errors.empty());
}
