// Editing and deleting from the overview window, against a real logbook, offscreen:
// the Edit and Delete commands, the refill after each, and the cases they refuse.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>

#include "entry/frmEditLog.h"
#include "overview/frmOverviewLog.h"
#include "platform/Controls.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using namespace wt::test;

namespace {

QStringList Column(const ListView* list, int c)
{
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->text(r, c);
    return out;
}

void Select(ListView* list, const QString& nr)
{
    for (int r = 0; r < list->count(); ++r) {
        if (list->text(r, 0) == nr) {
            list->setCurrentIndex(list->model()->index(r, 0));
            return;
        }
    }
    FAIL() << "no row " << nr.toStdString();
}

std::vector<std::string> Ids(const ProgramFolder& folder)
{
    std::vector<std::string> ids;
    for (const auto& row : ReadRows(folder.databasePath()))
        ids.push_back(*row.at("logid"));
    return ids;
}

// Four entries, 1 to 4, in table order; "From" descending is LFPG, KJFK, EDDF, (empty).
void FourEntries(const ProgramFolder& folder)
{
    folder.exec("INSERT INTO tblLog (date, departure, timeArrival, nextday) VALUES "
                "('2004-03-05', 'EDDF', '07:10', 0), ('2004-03-06', 'LFPG', '06:45', 0), "
                "('2004-03-07', 'KJFK', '09:00', 0), ('2004-03-08', NULL, NULL, NULL)");
}

struct Overview {
    ProgramFolder folder;
    Seams seams;
    std::unique_ptr<frmOverviewLog> form;
    explicit Overview(const std::function<void(const ProgramFolder&)>& fixture = FourEntries)
    {
        fixture(folder);
        form = std::make_unique<frmOverviewLog>();
        EXPECT_TRUE(form->showNormal());
    }
    ~Overview()
    {
        if (form->isLoaded())
            form->Unload();
    }
    ListView* list() const { return form->lstOverview; }
    // An entry numbered past 16 bits, shown in the list.
    void addBigEntry(std::int64_t logid = 40000)
    {
        folder.exec("INSERT INTO tblLog (logid, date, departure) VALUES (" + std::to_string(logid)
                    + ", '2006-01-01', 'BIG')");
        refill();
    }
    // A row whose text names no entry, as an edited cell or a foreign file could leave it.
    void addRowWithText(const char* text)
    {
        list()->addItem(text);
        Select(list(), QString::fromUtf8(text));
    }
    void refill()
    {
        Module1::rsLog->Close();
        Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
        list()->clear();
        form->FillOverviewList();
    }
};

} // namespace

TEST(EditCommand, SaveAndYesShowTheStoredValuesAndKeepSortAndButtons)
{
    Overview o;
    o.form->lstOverview_ColumnClick(3); // sorted, descending by From
    Select(o.list(), "2");
    bool opened = false;
    WhenShown([&] {
        auto* edit = qobject_cast<frmEditLog*>(OpenWindow("frmEditLog"));
        ASSERT_TRUE(edit);
        opened = true;
        EXPECT_EQ(edit->txtFrom->text(), "LFPG");
        edit->chkNextDay->setChecked(true);
        o.seams.answers = {platform::vbYes};
        edit->cmdSave->click();
    });
    o.form->cmdEdit->click();
    ASSERT_TRUE(opened);
    EXPECT_FALSE(OpenWindow("frmEditLog"));
    EXPECT_EQ(o.seams.questions.back().prompt, "Your changes are saved\r\nExit?");
    EXPECT_EQ(Column(o.list(), 0), QStringList({"2", "3", "1", "4"}));
    EXPECT_EQ(o.list()->text(0, 5), "06:45+1");
    EXPECT_TRUE(o.list()->Sorted());
    EXPECT_EQ(o.list()->SortKey(), 2);
    EXPECT_EQ(o.list()->SortOrder(), 1);
    EXPECT_TRUE(o.form->cmdEdit->isEnabled());
    EXPECT_TRUE(o.form->cmdDelete->isEnabled());
    EXPECT_EQ(ReadRows(o.folder.databasePath())[1].at("nextday"), "1");
    EXPECT_TRUE(o.seams.errors.empty());
}

TEST(EditCommand, ClosingWithoutSaveWritesNothingAndStillRefills)
{
    Overview o;
    Select(o.list(), "1");
    const auto before = ReadRows(o.folder.databasePath());
    WhenShown([&] {
        auto* edit = qobject_cast<frmEditLog*>(OpenWindow("frmEditLog"));
        ASSERT_TRUE(edit);
        QTest::keyClicks(edit->txtFrom, "XX");
        // Meanwhile another program files an entry: the refill must show it.
        o.folder.exec("INSERT INTO tblLog (date, departure) VALUES ('2005-01-01', 'ZZZZ')");
        edit->Unload();
    });
    o.form->cmdEdit->click();
    auto after = ReadRows(o.folder.databasePath());
    ASSERT_EQ(after.size(), 5u);
    after.pop_back();
    EXPECT_EQ(after, before);
    EXPECT_EQ(Column(o.list(), 0), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(o.list(), 2), QStringList({"EDDF", "LFPG", "KJFK", "", "ZZZZ"}));
    EXPECT_TRUE(o.seams.errors.empty());
}

TEST(EditCommand, RefusesWithoutOpeningAnything)
{
    struct Case {
        const char* what;
        std::function<void(Overview&)> arrange;
        QString message; // empty: no question at all
        QStringList extraRows = {}; // rows of the list that are not in the file
    };
    const Case cases[] = {
        {"no row selected", [](Overview&) {}, QString()},
        {"a row text that is not an entry number",
         [](Overview& o) { o.addRowWithText("3 or 1=1"); },
         frmOverviewLog::kCannotEditMessage.arg("3 or 1=1"), {"3 or 1=1"}},
        {"the entry was removed by another program",
         [](Overview& o) {
             Select(o.list(), "3");
             o.folder.exec("DELETE FROM tblLog WHERE logid = 3");
         },
         frmEditLog::kEntryGoneMessage},
    };
    for (const Case& c : cases) {
        Overview o;
        c.arrange(o);
        const auto before = ReadRows(o.folder.databasePath());
        bool editShown = false;
        WhenShown([&] {
            if (auto* edit = OpenWindow("frmEditLog")) {
                editShown = true;
                static_cast<platform::Form*>(edit)->Unload();
            }
        });
        o.form->cmdEdit->click();
        QApplication::processEvents();
        EXPECT_FALSE(editShown) << c.what;
        if (c.message.isEmpty()) {
            EXPECT_TRUE(o.seams.questions.empty()) << c.what;
        } else {
            ASSERT_EQ(o.seams.questions.size(), 1u) << c.what;
            EXPECT_EQ(o.seams.questions[0].prompt, c.message) << c.what;
            EXPECT_EQ(o.seams.questions[0].title, "Wingtrail") << c.what;
        }
        EXPECT_EQ(ReadRows(o.folder.databasePath()), before) << c.what;
        QStringList ids;
        for (const auto& row : before)
            ids << QString::fromStdString(*row.at("logid"));
        EXPECT_EQ(Column(o.list(), 0), ids + c.extraRows) << c.what << ": the list shows what the file holds";
        EXPECT_TRUE(o.seams.errors.empty()) << c.what;
    }
}

TEST(EditCommand, OpensAndSavesEntriesOfAnyNumber)
{
    // Numbers are never reused: past 32767 every entry of a long-kept logbook must stay
    // editable, up to the largest key the table can hold.
    for (const std::int64_t id : {std::int64_t{32768}, std::int64_t{40000}, std::int64_t{1} << 40,
                                  std::numeric_limits<std::int64_t>::max()}) {
        SCOPED_TRACE(id);
        Overview o;
        o.addBigEntry(id);
        const QString nr = QString::number(id);
        Select(o.list(), nr);
        bool opened = false;
        WhenShown([&] {
            auto* edit = qobject_cast<frmEditLog*>(OpenWindow("frmEditLog"));
            ASSERT_TRUE(edit);
            opened = true;
            EXPECT_EQ(edit->txtFrom->text(), "BIG");
            edit->txtFrom->setText("EDIT");
            o.seams.answers = {platform::vbYes};
            edit->cmdSave->click();
        });
        o.form->cmdEdit->click();
        ASSERT_TRUE(opened);
        const auto rows = ReadRows(o.folder.databasePath(), "SELECT * FROM tblLog WHERE logid = " + nr.toStdString());
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].at("departure"), std::optional<std::string>("EDIT"));
        EXPECT_EQ(Ids(o.folder).size(), 5u);
        EXPECT_TRUE(Column(o.list(), 0).contains(nr));
        ASSERT_EQ(o.seams.questions.size(), 1u);
        EXPECT_EQ(o.seams.questions[0].prompt, "Your changes are saved\r\nExit?");
        EXPECT_TRUE(o.seams.errors.empty());
    }
}

TEST(DeleteCommand, ARowTextThatIsNotAnEntryNumberIsRefusedAndNothingIsDeleted)
{
    // Read as a number first: "3 or 1=1" appended to the statement would select every
    // entry, and the delete would take the first of them.
    for (const char* text : {"3 or 1=1", "3 or logid > 0", "2;", " 2", "2 ", "", "two", "2.0", "+2",
                             "99999999999999999999"}) {
        SCOPED_TRACE(text);
        Overview o;
        o.addRowWithText(text);
        o.form->cmdDelete->click();
        ASSERT_EQ(o.seams.questions.size(), 1u) << "refused before asking to delete";
        EXPECT_EQ(o.seams.questions[0].prompt, frmOverviewLog::kCannotDeleteMessage.arg(QString::fromUtf8(text)));
        EXPECT_EQ(o.seams.questions[0].buttons, platform::vbOKOnly + platform::vbExclamation);
        EXPECT_EQ(o.seams.questions[0].title, "Wingtrail");
        EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "3", "4"}));
        EXPECT_EQ(o.list()->count(), 5);
        EXPECT_TRUE(o.form->cmdDelete->isEnabled());
        EXPECT_TRUE(o.seams.errors.empty());
        // The window goes on working: a real entry still deletes.
        Select(o.list(), "3");
        o.form->cmdDelete->click();
        EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "4"}));
        EXPECT_TRUE(o.seams.errors.empty());
    }
}

TEST(DeleteCommand, NoChangesNothing)
{
    Overview o;
    o.form->lstOverview_ColumnClick(3);
    Select(o.list(), "2");
    o.seams.answers = {platform::vbNo};
    o.form->cmdDelete->click();
    ASSERT_EQ(o.seams.questions.size(), 1u);
    EXPECT_EQ(o.seams.questions[0].prompt, "Delete record?");
    EXPECT_EQ(o.seams.questions[0].buttons, 36);
    EXPECT_EQ(o.seams.questions[0].title, "Wingtrail");
    EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(Column(o.list(), 0), QStringList({"2", "3", "1", "4"}));
    EXPECT_EQ(o.list()->selectedText(), QString("2"));
}

TEST(DeleteCommand, RemovesExactlyTheSelectedEntryAndLeavesAGap)
{
    Overview o;
    Select(o.list(), "2");
    o.form->cmdDelete->click();
    EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "3", "4"}));
    EXPECT_EQ(Column(o.list(), 0), QStringList({"1", "3", "4"}));
    EXPECT_TRUE(o.form->cmdEdit->isEnabled());
    EXPECT_TRUE(o.form->cmdDelete->isEnabled());
    EXPECT_TRUE(o.seams.errors.empty());
}

TEST(DeleteCommand, DeletingTheOnlyEntryEmptiesTheListAndDisablesBoth)
{
    Overview o([](const ProgramFolder& f) { f.exec("INSERT INTO tblLog (date) VALUES ('2004-03-05')"); });
    Select(o.list(), "1");
    o.form->cmdDelete->click();
    EXPECT_TRUE(Ids(o.folder).empty());
    EXPECT_EQ(o.list()->count(), 0);
    EXPECT_FALSE(o.form->cmdEdit->isEnabled());
    EXPECT_FALSE(o.form->cmdDelete->isEnabled());
}

TEST(DeleteCommand, TheRefillFollowsTheSortState)
{
    // Entry 2 (LFPG) goes. Sorted (one click on From): descending by From again, KJFK
    // (3), EDDF (1), empty (4). Not sorted (two clicks): table order.
    struct Case { int clicks; QStringList ids; };
    for (const Case& c : {Case{1, {"3", "1", "4"}}, Case{2, {"1", "3", "4"}}}) {
        Overview o;
        for (int i = 0; i < c.clicks; ++i)
            o.form->lstOverview_ColumnClick(3);
        Select(o.list(), "2");
        o.form->cmdDelete->click();
        EXPECT_EQ(Column(o.list(), 0), c.ids) << c.clicks << " click(s)";
        EXPECT_EQ(o.list()->Sorted(), c.clicks == 1);
    }
}

TEST(DeleteCommand, WorksForAnyNumberAndRefusesWhatIsGone)
{
    Overview o;
    o.addBigEntry();
    o.addBigEntry(std::numeric_limits<std::int64_t>::max());
    Select(o.list(), "40000");
    o.form->cmdDelete->click();
    Select(o.list(), "9223372036854775807");
    o.form->cmdDelete->click();
    EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "3", "4"}));

    // Removed by another program after the list was filled: said so, nothing else goes.
    Select(o.list(), "4");
    o.folder.exec("DELETE FROM tblLog WHERE logid = 4");
    o.seams.questions.clear();
    o.form->cmdDelete->click();
    ASSERT_EQ(o.seams.questions.size(), 2u);
    EXPECT_EQ(o.seams.questions[1].prompt, frmEditLog::kEntryGoneMessage);
    EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(o.list(), 0), QStringList({"1", "2", "3"}));

    // Nothing selected: the click does nothing, not even ask.
    o.list()->clearSelection();
    o.list()->setCurrentIndex(QModelIndex());
    o.seams.questions.clear();
    o.form->cmdDelete->click();
    EXPECT_TRUE(o.seams.questions.empty());
    EXPECT_EQ(Ids(o.folder), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(o.seams.errors.empty());
}
