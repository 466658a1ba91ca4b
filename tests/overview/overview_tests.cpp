// The overview window against a real logbook, offscreen: its layout, the rows that
// FillOverviewList builds, the buttons, sorting by header clicks, the resize rule, and the
// shared objects it opens and closes.
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QAccessible>
#include <QScrollBar>
#include <QTest>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "overview/frmOverviewLog.h"
#include "platform/Controls.h"
#include "platform/Twips.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using namespace wt::test;

namespace {

QRect twipsRect(const QWidget* w)
{
    const QRect g = w->geometry();
    return {platform::twips(g.x()), platform::twips(g.y()), platform::twips(g.width()), platform::twips(g.height())};
}

const QStringList kHeaders = {"Nr.",         "Date",     "From",       "Destination", "Departure time",
                              "Arrival Time", "Aircraft", "Airline",    "Callsign",    "Flightrule",
                              "Passengers",  "Cargo",    "Remarks",    "Route"};

// An INSERT of a complete entry, every field filled; overrides ("field=value;...", values
// as SQL literals) change some of them.
std::string Insert(const std::string& overrides = "")
{
    std::map<std::string, std::string> values = {
        {"date", "'2002-06-14'"},   {"departure", "'EDDF'"},   {"destination", "'EGLL'"},
        {"timeDeparture", "'06:10'"}, {"timeArrival", "'07:40'"}, {"nextday", "0"},
        {"flighttime", "'01:30'"},  {"aircraft", "'A320'"},    {"airline", "'Lufthansa'"},
        {"callsign", "'DLH4'"},     {"flightrule", "'IFR'"},   {"pax", "150"},
        {"cargo", "1500"},          {"remarks", "'Smooth'"},   {"route", "'KONAN UL9'"}};
    std::stringstream in(overrides);
    std::string one;
    while (std::getline(in, one, ';')) {
        const auto eq = one.find('=');
        values[one.substr(0, eq)] = one.substr(eq + 1);
    }
    std::string cols, vals;
    for (const auto& [field, value] : values) {
        cols += (cols.empty() ? "" : ",") + field;
        vals += (vals.empty() ? "" : ",") + value;
    }
    return "INSERT INTO tblLog (" + cols + ") VALUES (" + vals + ");";
}

QStringList RowTexts(const ListView* list, int row)
{
    QStringList out;
    for (int c = 0; c < 14; ++c)
        out << list->text(row, c);
    return out;
}

QStringList Column(const ListView* list, int c)
{
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->text(r, c);
    return out;
}

// The refill the edit window's unload and a deletion make: rsLog again on all entries,
// the list cleared, FillOverviewList.
bool Refill(frmOverviewLog& form)
{
    Module1::rsLog->Close();
    Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
    form.lstOverview->clear();
    return form.FillOverviewList();
}

} // namespace

TEST(OverviewWindow, LayoutCaptionsAndColumns)
{
    ProgramFolder folder;
    Seams seams;
    frmOverviewLog form;
    EXPECT_EQ(form.windowTitle(), "Wingtrail - Logbook overview");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(platform::twips(form.client()->width()), 10590);
    EXPECT_EQ(platform::twips(form.client()->height()), 7785);
    EXPECT_EQ(form.pos(), QPoint(platform::px(705), platform::px(780)));
    struct Case {
        const char* name;
        QRect twips;
    };
    for (const Case& c : {Case{"picMain", {0, 0, 20430, 1155}}, Case{"Frame1", {0, 1320, 10575, 5655}},
                          Case{"lstOverview", {120, 360, 10335, 5055}}, Case{"cmdEdit", {120, 7080, 1215, 375}},
                          Case{"cmdDelete", {1440, 7080, 1215, 375}}}) {
        auto* w = form.findChild<QWidget*>(c.name);
        ASSERT_TRUE(w) << c.name;
        EXPECT_EQ(twipsRect(w), c.twips) << c.name;
    }
    EXPECT_EQ(form.lstOverview->parentWidget(), form.Frame1);
    EXPECT_EQ(form.Frame1->title(), "Logbook Overview");
    EXPECT_EQ(form.cmdEdit->text(), "Edit");
    EXPECT_EQ(form.cmdDelete->text(), "Delete");
    for (auto* b : {form.cmdEdit, form.cmdDelete}) {
        EXPECT_FALSE(b->isDefault());
        EXPECT_FALSE(b->autoDefault());
        EXPECT_TRUE(b->isEnabled());
    }
    EXPECT_EQ(twipsRect(form.StatusBar1).height(), 270);
    EXPECT_EQ(form.StatusBar1->geometry().bottom(), form.client()->height() - 1);
    EXPECT_EQ(form.lstOverview->font().family(), "Verdana");

    // Fourteen columns with their headers and widths; no flight time among them.
    QAbstractItemModel* m = form.lstOverview->model();
    ASSERT_EQ(m->columnCount(), 14);
    for (int c = 0; c < 14; ++c) {
        EXPECT_EQ(m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), kHeaders[c]);
        EXPECT_EQ(platform::twips(form.lstOverview->header()->sectionSize(c)), c == 0 ? 900 : 1440) << c;
    }
    EXPECT_EQ(form.lstOverview->accessibleName(), "Logbook Overview");
    EXPECT_EQ(form.lstOverview->count(), 0);
    EXPECT_FALSE(form.lstOverview->Sorted());

    // Tab order: banner, list, Edit, Delete (the frame and the status bar take no focus).
    QList<QWidget*> tabStops;
    QWidget* w = form.picMain;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == &form
            && (w == form.lstOverview || !form.lstOverview->isAncestorOf(w)))
            tabStops << w;
        w = w->nextInFocusChain();
    } while (w != form.picMain && tabStops.size() < 10);
    EXPECT_EQ(tabStops, QList<QWidget*>({form.picMain, form.lstOverview, form.cmdEdit, form.cmdDelete}));
}

TEST(OverviewWindow, AnEmptyLogbookDisablesEditAndDeleteAndClosingClosesTheSharedObjects)
{
    ProgramFolder folder;
    Seams seams;
    {
        frmOverviewLog form;
        ASSERT_TRUE(form.Load());
        EXPECT_EQ(form.lstOverview->count(), 0);
        EXPECT_FALSE(form.cmdEdit->isEnabled());
        EXPECT_FALSE(form.cmdDelete->isEnabled());
        EXPECT_TRUE(Module1::conLog->isOpen());
        EXPECT_TRUE(Module1::rsLog->isOpen());
        form.Unload();
        EXPECT_FALSE(Module1::rsLog->isOpen());
        EXPECT_FALSE(Module1::conLog->isOpen());
    }
    folder.exec(Insert());
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    EXPECT_EQ(form.lstOverview->count(), 1);
    EXPECT_TRUE(form.cmdEdit->isEnabled());
    EXPECT_TRUE(form.cmdDelete->isEnabled());
    // Waiting for the user, rsLog stands at its end.
    EXPECT_TRUE(Module1::rsLog->Eof());
    form.Unload();
    EXPECT_FALSE(Module1::rsLog->isOpen());
    EXPECT_FALSE(Module1::conLog->isOpen());
    EXPECT_TRUE(seams.errors.empty());
}

TEST(OverviewWindow, OpensFromTheMainWindowAndLeavesItsObjectsClosed)
{
    ProgramFolder folder;
    Seams seams;
    folder.exec(Insert());
    frmMain main;
    ASSERT_TRUE(main.showNormal());
    int rows = -1;
    WhenShown([&] {
        auto* form = qobject_cast<frmOverviewLog*>(OpenWindow("frmOverviewLog"));
        ASSERT_TRUE(form);
        rows = form->lstOverview->count();
        EXPECT_TRUE(Module1::conLog->isOpen());
        form->close();
    });
    main.cmdViewLog->click();
    EXPECT_EQ(rows, 1);
    EXPECT_FALSE(Module1::rsLog->isOpen());
    EXPECT_FALSE(Module1::conLog->isOpen());
    EXPECT_TRUE(seams.errors.empty());
}

// One row per case, filled from the table as stored.
TEST(OverviewFill, RowFormats)
{
    struct Case {
        const char* what;
        std::string overrides;
        int column; // 0-based
        const char* shows;
    };
    const std::vector<Case> cases = {
        {"next day", "timeArrival='06:45';nextday=1", 5, "06:45+1"},
        {"same day", "timeArrival='06:45';nextday=0", 5, "06:45"},
        {"next day unknown", "timeArrival='06:45';nextday=NULL", 5, "06:45"},
        {"next day without an arrival time", "timeArrival=NULL;nextday=1", 5, ""},
        {"no cargo", "cargo=0", 11, "0 lbs"},
        {"cargo unknown", "cargo=NULL", 11, ""},
        {"cargo", "cargo=1500", 11, "1500 lbs"},
        {"date", "date='2004-03-05'", 1, "05-03-2004"},
        {"date unknown", "date=NULL", 1, ""},
        {"passengers", "pax=0", 10, "0"},
    };
    ProgramFolder folder;
    Seams seams;
    for (const Case& c : cases)
        folder.exec(Insert(c.overrides));
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    ASSERT_EQ(form.lstOverview->count(), static_cast<int>(cases.size()));
    for (int r = 0; r < form.lstOverview->count(); ++r) {
        const Case& c = cases[static_cast<std::size_t>(r)];
        EXPECT_EQ(form.lstOverview->text(r, 0), QString::number(r + 1)) << c.what;
        EXPECT_EQ(form.lstOverview->text(r, c.column), c.shows) << c.what;
    }
    EXPECT_TRUE(seams.errors.empty());
}

TEST(OverviewFill, AFullEntryShowsEveryFieldButTheFlightTime)
{
    ProgramFolder folder;
    Seams seams;
    folder.exec("INSERT INTO tblLog (logid) VALUES (41); DELETE FROM tblLog;");
    folder.exec(Insert("flighttime='99:59'"));
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    ASSERT_EQ(form.lstOverview->count(), 1);
    EXPECT_EQ(RowTexts(form.lstOverview, 0),
              QStringList({"42", "14-06-2002", "EDDF", "EGLL", "06:10", "07:40", "A320", "Lufthansa", "DLH4", "IFR",
                           "150", "1500 lbs", "Smooth", "KONAN UL9"}));
}

// A Null in a field with a Null test leaves that cell empty and fills all the others; the
// rows around it (read through the same recordset) keep their own values.
TEST(OverviewFill, ANullEmptiesOnlyItsOwnCell)
{
    struct Case {
        const char* field;
        int column;
    };
    const Case cases[] = {{"departure", 2}, {"destination", 3}, {"timeDeparture", 4}, {"timeArrival", 5},
                          {"aircraft", 6},  {"airline", 7},     {"callsign", 8},      {"flightrule", 9},
                          {"pax", 10},      {"cargo", 11},      {"remarks", 12},      {"route", 13}};
    ProgramFolder folder;
    Seams seams;
    const std::string longRemark(200, 'r');
    folder.exec(Insert("remarks='" + longRemark + "';route='" + std::string(300, 'q') + "'"));
    for (const Case& c : cases)
        folder.exec(Insert(std::string(c.field) + "=NULL"));
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    ASSERT_EQ(form.lstOverview->count(), 1 + static_cast<int>(std::size(cases)));
    EXPECT_EQ(form.lstOverview->text(0, 12), QString::fromStdString(longRemark));
    const QStringList full = {"", "14-06-2002", "EDDF", "EGLL", "06:10", "07:40", "A320", "Lufthansa", "DLH4", "IFR",
                              "150", "1500 lbs", "Smooth", "KONAN UL9"};
    int r = 1;
    for (const Case& c : cases) {
        QStringList expected = full;
        expected[0] = QString::number(r + 1);
        expected[c.column] = "";
        EXPECT_EQ(RowTexts(form.lstOverview, r), expected) << c.field;
        ++r;
    }
}

// FillOverviewList appends from rsLog's current record to its end, and says whether it
// appended anything; it clears nothing.
TEST(OverviewFill, AppendsWithoutClearingAndReportsWhetherItAppended)
{
    ProgramFolder folder;
    Seams seams;
    folder.exec(Insert() + Insert());
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    EXPECT_EQ(form.lstOverview->count(), 2);
    EXPECT_FALSE(form.FillOverviewList()); // rsLog already at its end
    EXPECT_EQ(form.lstOverview->count(), 2);
    Module1::rsLog->Close();
    Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
    EXPECT_TRUE(form.FillOverviewList());
    EXPECT_EQ(Column(form.lstOverview, 0), QStringList({"1", "2", "1", "2"}));
    EXPECT_TRUE(Module1::rsLog->Eof());
}

namespace {

// Entries whose From and Aircraft columns order differently from their numbers.
void SortFixture(const ProgramFolder& folder)
{
    folder.exec(Insert("date='2003-01-02';departure='LFPG';aircraft='b738'") +
                Insert("date='2004-12-01';departure='EDDF';aircraft='A320'") +
                Insert("date='2002-06-15';departure='KJFK';aircraft='C172'") +
                Insert("date=NULL;departure=NULL;aircraft='a319'"));
}

} // namespace

TEST(OverviewSorting, HeaderClicksAlternateBetweenDescendingAndAscending)
{
    ProgramFolder folder;
    Seams seams;
    SortFixture(folder);
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    ListView* list = form.lstOverview;
    struct Step {
        int column;
        bool sorted;
        int order;
        QStringList shows;
    };
    // Three clicks on "Date", dates ordered by day first; the empty one first ascending.
    const Step steps[] = {
        {2, true, 1, {"15-06-2002", "02-01-2003", "01-12-2004", ""}},
        {2, false, 0, {"", "01-12-2004", "02-01-2003", "15-06-2002"}},
        {2, true, 1, {"15-06-2002", "02-01-2003", "01-12-2004", ""}},
    };
    for (const Step& s : steps) {
        form.lstOverview_ColumnClick(s.column);
        EXPECT_EQ(list->Sorted(), s.sorted);
        EXPECT_EQ(list->SortKey(), s.column - 1);
        EXPECT_EQ(list->SortOrder(), s.order);
        EXPECT_EQ(Column(list, s.column - 1), s.shows);
    }

    // On a fresh window: "From" then "Aircraft".
    form.Unload();
    frmOverviewLog other;
    ASSERT_TRUE(other.Load());
    other.lstOverview_ColumnClick(3);
    EXPECT_EQ(Column(other.lstOverview, 2), QStringList({"LFPG", "KJFK", "EDDF", ""}));
    EXPECT_TRUE(other.lstOverview->Sorted());
    other.lstOverview_ColumnClick(7);
    EXPECT_EQ(Column(other.lstOverview, 6), QStringList({"a319", "A320", "b738", "C172"}));
    EXPECT_FALSE(other.lstOverview->Sorted());
    EXPECT_EQ(other.lstOverview->SortKey(), 6);
    EXPECT_EQ(other.lstOverview->SortOrder(), 0);
}

// A refill only clears and appends: sorted, the rows come back in the sort order; not
// sorted, in the table's order, the last ascending sort gone.
TEST(OverviewSorting, TheSortStateOutlivesARefill)
{
    ProgramFolder folder;
    Seams seams;
    SortFixture(folder);
    frmOverviewLog form;
    ASSERT_TRUE(form.Load());
    form.lstOverview_ColumnClick(3);
    folder.exec(Insert("departure='ZZZZ'"));
    EXPECT_TRUE(Refill(form));
    EXPECT_EQ(Column(form.lstOverview, 2), QStringList({"ZZZZ", "LFPG", "KJFK", "EDDF", ""}));
    EXPECT_EQ(Column(form.lstOverview, 0), QStringList({"5", "1", "3", "2", "4"}));

    form.lstOverview_ColumnClick(3);
    EXPECT_EQ(Column(form.lstOverview, 2), QStringList({"", "EDDF", "KJFK", "LFPG", "ZZZZ"}));
    EXPECT_TRUE(Refill(form));
    EXPECT_EQ(Column(form.lstOverview, 0), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_TRUE(seams.errors.empty());
}

TEST(OverviewSorting, ClickingAHeaderInTheWindowSorts)
{
    ProgramFolder folder;
    Seams seams;
    SortFixture(folder);
    frmOverviewLog form;
    ASSERT_TRUE(form.showNormal());
    QHeaderView* h = form.lstOverview->header();
    const int section = 0; // "Nr."
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(section) + 10, h->height() / 2));
    EXPECT_TRUE(form.lstOverview->Sorted());
    EXPECT_EQ(Column(form.lstOverview, 0), QStringList({"4", "3", "2", "1"}));
    form.Unload();
    EXPECT_TRUE(seams.errors.empty());
}

// The keyboard's header click: Tab from the rows reaches the header, the arrows pick a
// column, Space or Enter clicks it; each click goes through lstOverview_ColumnClick as a
// mouse click does (descending and kept sorted, then ascending once), and Tab goes on to
// Edit.
TEST(OverviewSorting, TheHeaderIsClickedFromTheKeyboard)
{
    ProgramFolder folder;
    Seams seams;
    SortFixture(folder);
    frmOverviewLog form;
    ASSERT_TRUE(form.showNormal());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.lstOverview->setFocus();
    QTest::keyClick(form.lstOverview, Qt::Key_Tab);
    QHeaderView* h = form.lstOverview->header();
    ASSERT_TRUE(h->hasFocus()) << "Tab from the rows does not reach the header";
    QTest::keyClick(h, Qt::Key_Space); // "Nr.", the first column
    EXPECT_TRUE(form.lstOverview->Sorted());
    EXPECT_EQ(Column(form.lstOverview, 0), QStringList({"4", "3", "2", "1"}));
    struct Step { Qt::Key key; bool sorted; int sortKey; int sortOrder; };
    for (const Step& s : {Step{Qt::Key_Return, false, 0, 0}, Step{Qt::Key_End, false, 0, 0},
                          Step{Qt::Key_Enter, true, 13, 1}, Step{Qt::Key_Home, true, 13, 1},
                          Step{Qt::Key_Right, true, 13, 1}, Step{Qt::Key_Space, false, 1, 0}}) {
        QTest::keyClick(h, s.key);
        EXPECT_EQ(form.lstOverview->Sorted(), s.sorted) << s.key;
        EXPECT_EQ(form.lstOverview->SortKey(), s.sortKey) << s.key;
        EXPECT_EQ(form.lstOverview->SortOrder(), s.sortOrder) << s.key;
    }
    // The last column picked was scrolled into view before; Home brought the list back.
    EXPECT_EQ(form.lstOverview->horizontalScrollBar()->value(), 0);
    QTest::keyClick(h, Qt::Key_Tab);
    EXPECT_TRUE(form.cmdEdit->hasFocus());
    form.Unload();
    EXPECT_TRUE(seams.errors.empty());
}

// A screen reader hears the list as a table: the column headers, the rows' cells in the
// order shown, and each header's press action, which clicks it (lstOverview_ColumnClick:
// descending, then ascending).
TEST(OverviewSorting, AScreenReaderHearsATableAndPressesItsHeaders)
{
    ProgramFolder folder;
    Seams seams;
    SortFixture(folder);
    frmOverviewLog form;
    ASSERT_TRUE(form.showNormal());
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form.lstOverview);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->role(), QAccessible::Table);
    EXPECT_EQ(list->text(QAccessible::Name), "Logbook Overview");
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->columnCount(), 14);
    EXPECT_EQ(table->rowCount(), 4);
    auto heardColumn = [&](int column) {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row) {
            QAccessibleInterface* cell = table->cellAt(row, column);
            EXPECT_EQ(cell->role(), QAccessible::Cell);
            texts << cell->text(QAccessible::Name);
        }
        return texts;
    };
    EXPECT_EQ(heardColumn(0), Column(form.lstOverview, 0));
    QAccessibleInterface* nr = table->cellAt(0, 0)->tableCellInterface()->columnHeaderCells().value(0);
    ASSERT_TRUE(nr);
    EXPECT_EQ(nr->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(nr->text(QAccessible::Name), "Nr.");
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), "Date");
    EXPECT_EQ(list->indexOfChild(list->child(1)), 1);
    ASSERT_TRUE(nr->actionInterface());
    EXPECT_EQ(nr->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    nr->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(form.lstOverview->Sorted());
    EXPECT_EQ(heardColumn(0), QStringList({"4", "3", "2", "1"}));
    nr->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(form.lstOverview->Sorted());
    EXPECT_EQ(heardColumn(0), QStringList({"1", "2", "3", "4"}));
    // Selecting a row through the table selects it in the list, as Edit and Delete read it.
    EXPECT_TRUE(table->selectRow(2));
    EXPECT_EQ(form.lstOverview->selectedText(), QString("3"));
    EXPECT_EQ(table->selectedRows(), QList<int>{2});
    form.Unload();
    EXPECT_TRUE(seams.errors.empty());
}

TEST(OverviewResize, KeepsTheMinimumAndWidensFrameAndList)
{
    ProgramFolder folder;
    Seams seams;
    frmOverviewLog form;
    ASSERT_TRUE(form.showNormal());
    // The offscreen platform frames a window with 2 pixels on each side, so the client
    // area is 60 twips narrower than the outer width. Frame1 is the client width less 1
    // twip and the list Frame1's width less 240 twips, each held in whole pixels: a
    // 10650-twip client gives 10649 twips, 709.9 pixels, so 710 pixels (10650 twips) for
    // Frame1 and 10410 twips (694 pixels) for the list.
    struct Case {
        int width, height;          // asked for, twips
        int outerW, outerH;         // kept
        int clientW, frameW, listW; // client area, Frame1 and lstOverview, twips
    };
    const Case cases[] = {
        {8000, 6000, 10710, 8190, 10650, 10650, 10410},     // both too small
        {9000, 9000, 10710, 9000, 10650, 10650, 10410},     // too narrow only
        {12000, 7000, 12000, 8190, 11940, 11940, 11700},    // too low only
        {15000, 10005, 15000, 10005, 14940, 14940, 14700},  // larger: kept as it is
        {10710, 8190, 10710, 8190, 10650, 10650, 10410},    // exactly the minimum
        {10722, 8190, 10725, 8190, 10665, 10665, 10425},    // a width between two pixels
    };
    for (const Case& c : cases) {
        form.setOuterSizeTwips(c.width, c.height);
        EXPECT_EQ(form.outerWidthTwips(), c.outerW) << c.width << "x" << c.height;
        EXPECT_EQ(form.outerHeightTwips(), c.outerH) << c.width << "x" << c.height;
        EXPECT_EQ(form.clientWidthTwips(), c.clientW) << c.width << "x" << c.height;
        EXPECT_EQ(twipsRect(form.Frame1).width(), c.frameW) << c.width << "x" << c.height;
        EXPECT_EQ(twipsRect(form.lstOverview).width(), c.listW) << c.width << "x" << c.height;
        // Heights and places do not follow the window; the status bar does.
        EXPECT_EQ(twipsRect(form.Frame1).height(), 5655);
        EXPECT_EQ(twipsRect(form.lstOverview).height(), 5055);
        EXPECT_EQ(twipsRect(form.cmdEdit), QRect(120, 7080, 1215, 375));
        EXPECT_EQ(form.StatusBar1->geometry().bottom(), form.client()->height() - 1);
    }
    form.Unload();
}

TEST(OverviewResize, AMinimizedWindowIsLeftAlone)
{
    ProgramFolder folder;
    Seams seams;
    frmOverviewLog form;
    ASSERT_TRUE(form.showNormal());
    form.setOuterSizeTwips(12000, 9000);
    const int frameWidth = form.Frame1->width();
    form.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    if (form.windowStateValue() != platform::vbMinimized)
        GTEST_SKIP() << "this platform does not minimize";
    form.resize(platform::px(6000), platform::px(5000));
    EXPECT_EQ(form.Frame1->width(), frameWidth);
    EXPECT_LT(form.outerWidthTwips(), 10710);
    // Restored, the rules apply again.
    form.setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
    form.resize(platform::px(6000), platform::px(5000));
    EXPECT_EQ(form.outerWidthTwips(), 10710);
    EXPECT_EQ(form.outerHeightTwips(), 8190);
    form.Unload();
}
