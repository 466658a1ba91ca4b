// The list control on its own: rows and sub-items, the text order of its cells, and the
// sort state (Sorted, SortKey, SortOrder) with the behaviour the overview relies on.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "overview/ListView.h"
#include "overview/RowStore.h"
#include "platform/Twips.h"

namespace {

// A list with a tag column (the row's own text) and one key column (sub-item 1).
struct TwoColumns {
    ListView list;
    TwoColumns()
    {
        list.addColumn(QStringLiteral("Tag"), 900);
        list.addColumn(QStringLiteral("Key"), 1440);
    }
    void add(const QString& tag, const QString& key)
    {
        const int item = list.addItem(tag);
        if (!key.isEmpty())
            list.setSubItem(item, 1, key);
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < list.count(); ++r)
            out << list.text(r, c);
        return out;
    }
    void sortBy(int key, int order)
    {
        list.setSortKey(key);
        list.setSortOrder(order);
        list.setSorted(true);
    }
};

QStringList reversed(QStringList l)
{
    std::reverse(l.begin(), l.end());
    return l;
}

} // namespace

// Cells compare as text: never as numbers or dates; an empty cell comes first ascending.
TEST(ListViewOrder, CellsCompareAsTextWithoutRegardToCase)
{
    struct Case {
        const char* what;
        QStringList ascending;
    };
    const Case cases[] = {
        {"numbers", {"1", "10", "100", "11", "2", "20", "9"}},
        {"dates by day first", {"01-12-2004", "02-01-2003", "15-06-2002"}},
        {"a next-day arrival right after the same time", {"06:45", "06:45+1", "07:10"}},
        {"passengers", {"100", "20", "9"}},
        {"cargo with its unit", {"1000 lbs", "200 lbs", "50 lbs"}},
        {"empty first", {"", "", "A320", "B738"}},
        {"case does not count", {"alpha", "Bravo", "charlie", "DELTA"}},
        {"beyond the first 16 bytes", {"KONAN UL9 BUNTI T161 1", "konan UL9 BUNTI T161 10", "KONAN UL9 BUNTI T161 9",
                                       "KONAN UL9 BUNTI T161 MURDE", "KONAN UL9 BUNTI T161 MURDE 2"}},
        {"exactly 16 bytes before a longer text", {"ABCDEFGHIJKLMNOP", "abcdefghijklmnop1", "ABCDEFGHIJKLMNOQ"}},
        {"accented letters fold too", {"Zulu", "zürich", "ZÜRICH-KLOTEN"}},
    };
    for (const Case& c : cases) {
        // Appended in a scrambled order: reversed, then every other one swapped.
        QStringList input = reversed(c.ascending);
        for (qsizetype i = 0; i + 1 < input.size(); i += 2)
            std::swap(input[i], input[i + 1]);
        TwoColumns t;
        for (qsizetype i = 0; i < input.size(); ++i)
            t.add(QString::number(i), input[i]);
        t.sortBy(1, 0);
        QStringList got = t.column(1);
        // Equal texts (the two empty ones) are not told apart here.
        EXPECT_EQ(got, c.ascending) << c.what;
        t.list.setSortOrder(1);
        EXPECT_EQ(t.column(1), reversed(c.ascending)) << c.what << " (descending)";
    }
}

// Rows whose key texts are equal (also when only their case differs) stay in the order in
// which they were added, in both directions.
TEST(ListViewOrder, EqualKeysKeepTheOrderOfAdding)
{
    TwoColumns t;
    t.add("a", "x");
    t.add("b", "Y");
    t.add("c", "X");
    t.add("d", "");
    t.add("e", "y");
    t.add("f", "");
    t.sortBy(1, 0);
    EXPECT_EQ(t.column(0), QStringList({"d", "f", "a", "c", "b", "e"}));
    t.list.setSortOrder(1);
    EXPECT_EQ(t.column(0), QStringList({"b", "e", "a", "c", "d", "f"}));
}

TEST(ListViewSortState, StartsUnsortedAndSortsAtOnceWhenSortedIsSet)
{
    TwoColumns t;
    EXPECT_FALSE(t.list.Sorted());
    EXPECT_EQ(t.list.SortKey(), 0);
    EXPECT_EQ(t.list.SortOrder(), 0);
    for (const char* k : {"m", "c", "x", "a"})
        t.add(k, k);
    // Key and order alone do not sort an unsorted list.
    t.list.setSortKey(1);
    t.list.setSortOrder(1);
    EXPECT_EQ(t.column(1), QStringList({"m", "c", "x", "a"}));
    t.list.setSorted(true);
    EXPECT_EQ(t.column(1), QStringList({"x", "m", "c", "a"}));
}

TEST(ListViewSortState, WhileSortedANewKeyOrOrderSortsAgain)
{
    TwoColumns t;
    t.add("3", "b");
    t.add("1", "c");
    t.add("2", "a");
    t.sortBy(0, 0);
    EXPECT_EQ(t.column(0), QStringList({"1", "2", "3"}));
    t.list.setSortKey(1);
    EXPECT_EQ(t.column(1), QStringList({"a", "b", "c"}));
    t.list.setSortOrder(1);
    EXPECT_EQ(t.column(1), QStringList({"c", "b", "a"}));
}

// The fill appends a row and sets its sub-items afterwards: the row lands where its final
// key cell belongs, not where its empty one would.
TEST(ListViewSortState, RowsAppendedWhileSortedLandInPlaceWithTheirFinalCells)
{
    TwoColumns t;
    t.sortBy(1, 0);
    t.add("1", "delta");
    t.add("2", "alpha");
    EXPECT_EQ(t.column(1), QStringList({"alpha", "delta"})); // read in between
    t.add("3", "charlie");
    t.add("4", "");
    t.add("5", "bravo");
    EXPECT_EQ(t.column(1), QStringList({"", "alpha", "bravo", "charlie", "delta"}));
    EXPECT_EQ(t.column(0), QStringList({"4", "2", "5", "3", "1"}));
}

TEST(ListViewSortState, UnsortingLeavesTheRowsAndAppendsAtTheEnd)
{
    TwoColumns t;
    for (const char* k : {"b", "d", "a", "c"})
        t.add(k, k);
    t.sortBy(1, 1);
    // Order and key change, then the list stops keeping order: the last sort stands.
    t.list.setSortOrder(0);
    t.list.setSortKey(1);
    t.list.setSorted(false);
    EXPECT_FALSE(t.list.Sorted());
    EXPECT_EQ(t.column(1), QStringList({"a", "b", "c", "d"}));
    t.add("0", "0");
    t.add("e", "e");
    EXPECT_EQ(t.column(1), QStringList({"a", "b", "c", "d", "0", "e"}));
    // Nor does a key or order set while unsorted move anything.
    t.list.setSortOrder(1);
    t.list.setSortKey(0);
    EXPECT_EQ(t.column(1), QStringList({"a", "b", "c", "d", "0", "e"}));
}

TEST(ListViewSortState, ClearingKeepsTheState)
{
    TwoColumns t;
    t.add("1", "a");
    t.sortBy(1, 1);
    t.list.clear();
    EXPECT_EQ(t.list.count(), 0);
    EXPECT_TRUE(t.list.Sorted());
    EXPECT_EQ(t.list.SortKey(), 1);
    EXPECT_EQ(t.list.SortOrder(), 1);
    for (const char* k : {"b", "c", "a"})
        t.add(k, k);
    EXPECT_EQ(t.column(1), QStringList({"c", "b", "a"}));

    t.list.setSorted(false);
    t.list.clear();
    EXPECT_FALSE(t.list.Sorted());
    for (const char* k : {"b", "c", "a"})
        t.add(k, k);
    EXPECT_EQ(t.column(1), QStringList({"b", "c", "a"}));
}

// The packed rows against a plain table: cells set in any order, rewritten, on old rows
// and new ones, long and non-ASCII texts, cleared and filled again; then sorted on every
// column and compared with a stable sort of the plain table.
TEST(ListViewRows, CellsReadBackAsSetInAnyOrderAndSortLikeAPlainStableSort)
{
    ListView list;
    for (int c = 0; c < 14; ++c)
        list.addColumn(QStringLiteral("C%1").arg(c), 1440);
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const QStringList words = {"", "a", "B", "06:45", "06:45+1", "Zürich", "über", "KONAN UL9 BUNTI T161 MURDE",
                               "konan ul9 bunti t161 murde", QString(300, QChar('x')), QString(130, QChar(0x00e9)),
                               "1000 lbs", "15-06-2002"};
    std::vector<std::array<QString, 14>> plain;
    for (int round = 0; round < 2; ++round) {
        list.clear();
        plain.clear();
        for (int i = 0; i < 400; ++i) {
            plain.push_back({});
            plain.back()[0] = words[pick(words.size())];
            EXPECT_EQ(list.addItem(plain.back()[0]), i);
            // Most rows get their cells in ascending order, as the fill sets them.
            for (int k = 1; k < 14; ++k)
                if (pick(3)) {
                    plain.back()[static_cast<std::size_t>(k)] = words[pick(words.size())];
                    list.setSubItem(i, k, plain.back()[static_cast<std::size_t>(k)]);
                }
            // Now and then an earlier row changes, also to an empty cell.
            if (pick(4) == 0) {
                const int row = pick(i + 1), k = 1 + pick(13);
                plain[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)] = words[pick(words.size())];
                list.setSubItem(row, k, plain[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)]);
            }
        }
    }
    ASSERT_EQ(list.count(), 400);
    for (int r = 0; r < 400; ++r)
        for (int c = 0; c < 14; ++c)
            ASSERT_EQ(list.text(r, c), plain[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]) << r << "," << c;

    for (int key = 0; key < 14; ++key)
        for (int order : {0, 1}) {
            std::vector<int> expected(plain.size());
            for (std::size_t i = 0; i < expected.size(); ++i)
                expected[i] = static_cast<int>(i);
            auto folded = [&](int row) { return plain[static_cast<std::size_t>(row)][static_cast<std::size_t>(key)].toCaseFolded().toUtf8(); };
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const QByteArray fa = folded(a), fb = folded(b);
                return order == 0 ? fa < fb : fb < fa;
            });
            list.setSortKey(key);
            list.setSortOrder(order);
            list.setSorted(true);
            for (int r = 0; r < list.count(); ++r)
                for (int c = 0; c < 14; ++c)
                    ASSERT_EQ(list.text(r, c), plain[static_cast<std::size_t>(expected[static_cast<std::size_t>(r)])][static_cast<std::size_t>(c)])
                        << "key " << key << " order " << order << " row " << r << " column " << c;
        }
}

// Empty cells between filled ones, given as empty or as null views, on the newest row (the
// fill's way), on an earlier row (rebuilt aside) and on rows that cross into a new chunk.
TEST(ListViewRows, EmptyCellsBetweenFilledOnesReadBackAsSet)
{
    overview_detail::RowStore store;
    using Cells = std::array<std::string, overview_detail::RowStore::kMaxCells>;
    std::vector<Cells> plain;
    const std::string wide(3000, 'w'); // some 350 rows to a chunk
    auto fillRow = [&](int i) {
        Cells c{};
        c[0] = std::to_string(i);
        const int row = store.append(c[0]);
        // The pattern of a record with Null fields: empty, filled, empty, empty, filled ...
        for (int k = 1; k < overview_detail::RowStore::kMaxCells; ++k) {
            if ((k + i) % 3 == 0) {
                store.setCell(row, k, k % 2 ? std::string_view() : std::string_view(""));
            } else if ((k + i) % 3 == 1) {
                c[static_cast<std::size_t>(k)] = k == 12 ? wide : "c" + std::to_string(k);
                store.setCell(row, k, c[static_cast<std::size_t>(k)]);
            }
        }
        plain.push_back(c);
    };
    for (int i = 0; i < 1000; ++i) {
        fillRow(i);
        if (i % 7 == 3) {
            // An earlier row gets a cell past its last one and an emptied cell in between.
            const int row = i / 2;
            store.setCell(row, 13, "late");
            store.setCell(row, 6, std::string_view());
            plain[static_cast<std::size_t>(row)][13] = "late";
            plain[static_cast<std::size_t>(row)][6].clear();
        }
    }
    ASSERT_EQ(store.size(), 1000);
    for (int r = 0; r < store.size(); ++r)
        for (int k = 0; k < overview_detail::RowStore::kMaxCells; ++k)
            ASSERT_EQ(store.cell(r, k), plain[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)]) << r << "," << k;
}

TEST(ListViewRows, OutOfRangeReadsAndWritesDoNothing)
{
    TwoColumns t;
    const int item = t.list.addItem(QStringLiteral("1"));
    t.list.setSubItem(item, 0, "no");   // sub-items are 1..13
    t.list.setSubItem(item, 14, "no");
    t.list.setSubItem(item + 1, 1, "no");
    t.list.setSubItem(-1, 1, "no");
    EXPECT_EQ(t.list.count(), 1);
    EXPECT_EQ(t.list.text(0, 0), "1");
    EXPECT_EQ(t.list.text(0, 1), "");
    EXPECT_EQ(t.list.text(1, 0), "");
    EXPECT_EQ(t.list.text(-1, 0), "");
    EXPECT_EQ(t.list.text(0, 20), "");
}

TEST(ListViewControl, ColumnsHeadersAndPresentation)
{
    TwoColumns t;
    t.list.setAccessibleName(QStringLiteral("Logbook Overview"));
    QAbstractItemModel* m = t.list.model();
    ASSERT_EQ(m->columnCount(), 2);
    // What a screen reader reads for the columns.
    EXPECT_EQ(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Tag");
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Key");
    EXPECT_EQ(t.list.header()->sectionSize(0), platform::px(900));
    EXPECT_EQ(t.list.header()->sectionSize(1), platform::px(1440));
    EXPECT_FALSE(t.list.header()->stretchLastSection());
    EXPECT_FALSE(t.list.header()->isSortIndicatorShown());
    EXPECT_EQ(t.list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(t.list.selectionMode(), QAbstractItemView::SingleSelection);
    t.add("7", "x");
    // No in-place editing: Edit and Delete read the first cell back as the entry's number.
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(t.list.editTriggers(), QAbstractItemView::NoEditTriggers);
    // The selection stays marked without the focus.
    EXPECT_EQ(t.list.palette().color(QPalette::Inactive, QPalette::Highlight),
              t.list.palette().color(QPalette::Active, QPalette::Highlight));
    // The view sees the rows once the event loop turns (or a read brings them up to date).
    EXPECT_EQ(m->rowCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->data(m->index(0, 1), Qt::DisplayRole).toString(), "x");
}

TEST(ListViewControl, SelectedTextFollowsItsRowThroughASort)
{
    TwoColumns t;
    EXPECT_FALSE(t.list.selectedText().has_value());
    for (const char* k : {"3", "1", "2"})
        t.add(k, k);
    EXPECT_FALSE(t.list.selectedText().has_value());
    t.list.resize(400, 300);
    t.list.show();
    const QRect cell = t.list.visualRect(t.list.model()->index(0, 1));
    QTest::mouseClick(t.list.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(t.list.selectedText(), QString("3"));
    t.sortBy(0, 0);
    EXPECT_EQ(t.column(0), QStringList({"1", "2", "3"}));
    EXPECT_EQ(t.list.selectedText(), QString("3"));
    t.list.clear();
    EXPECT_FALSE(t.list.selectedText().has_value());
}

// The keys of a list in report view: Up and Down, Home and End move the selected row;
// Left and Right scroll the columns sideways and keep the row; Tab is left to the window.
TEST(ListViewControl, KeysMoveByRowsAndScrollSideways)
{
    ListView list;
    for (int c = 0; c < 14; ++c)
        list.addColumn(QStringLiteral("C%1").arg(c), 1440);
    for (int i = 0; i < 50; ++i)
        list.addItem(QString::number(i));
    list.setSubItem(7, 3, QStringLiteral("a cell much longer than its column, which is cut off and never wraps"));
    list.resize(400, 300);
    list.show();
    list.setFocus();
    QCoreApplication::processEvents();  // the view learns of the rows
    const QRect cell = list.visualRect(list.model()->index(3, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(list.selectedText(), QString("3"));

    QScrollBar* bar = list.horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "14 columns are wider than the list";
    QTest::keyClick(&list, Qt::Key_Right);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(list.selectedText(), QString("3"));
    QTest::keyClick(&list, Qt::Key_Left);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(list.selectedText(), QString("3"));

    const struct {
        Qt::Key key;
        const char* row;
    } moves[] = {{Qt::Key_Down, "4"}, {Qt::Key_Up, "3"}, {Qt::Key_End, "49"}, {Qt::Key_Home, "0"}};
    for (const auto& m : moves) {
        QTest::keyClick(&list, m.key);
        EXPECT_EQ(list.selectedText(), QString(m.row)) << m.key;
    }
    EXPECT_FALSE(list.tabKeyNavigation());
    // Every row is one line high, whatever it holds.
    EXPECT_EQ(list.rowHeight(7), list.rowHeight(0));
    EXPECT_LT(list.rowHeight(0), 2 * list.fontMetrics().height());
}

TEST(ListViewControl, AHeaderClickReportsItsColumnCountedFromOne)
{
    TwoColumns t;
    std::vector<int> clicks;
    t.list.ColumnClick = [&](int c) { clicks.push_back(c); };
    t.list.resize(400, 300);
    t.list.show();
    QHeaderView* h = t.list.header();
    for (int section : {1, 0}) {
        const QPoint at(h->sectionViewportPosition(section) + h->sectionSize(section) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(clicks, std::vector<int>({2, 1}));
    // A click sorts nothing by itself: sorting is the handler's business.
    EXPECT_FALSE(t.list.Sorted());
}

// What the view is told must agree with what the model answers, through appends, sorts,
// changes of shown cells and clears, whether the event loop turns in between or not.
TEST(ListViewControl, TheViewIsToldEveryChangeConsistently)
{
    static QStringList complaints;
    complaints.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        if (m.contains(QLatin1String("FAIL")))
            complaints << m;
    });
    TwoColumns t;
    QAbstractItemModelTester tester(t.list.model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy resets(t.list.model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(t.list.model(), &QAbstractItemModel::rowsInserted);
    for (const char* k : {"b", "a", "c"})
        t.add(k, k);
    QCoreApplication::processEvents();
    EXPECT_EQ(inserts.count(), 1); // one announcement for the whole batch
    QAbstractItemModel* m = t.list.model();
    t.sortBy(1, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(m->data(m->index(0, 1), Qt::DisplayRole).toString(), "c");
    // A shown row's cell changes: the view hears of it at the next turn.
    QSignalSpy changes(m, &QAbstractItemModel::dataChanged);
    t.list.setSorted(false);
    t.list.setSubItem(0, 1, "zz");
    QCoreApplication::processEvents();
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(m->data(m->index(1, 1), Qt::DisplayRole).toString(), "zz"); // row "b": order c, b, a
    t.list.clear();
    EXPECT_EQ(m->rowCount(), 0);
    EXPECT_EQ(resets.count(), 1);
    t.add("d", "d");
    EXPECT_EQ(t.list.text(0, 0), "d");
    EXPECT_EQ(m->rowCount(), 1);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(complaints.isEmpty()) << complaints.join('\n').toStdString();
}
