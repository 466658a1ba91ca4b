// The platform layer: pictures by content, the KeyPress hook, binding semantics on a
// real recordset, the error handler's text, modal showing.
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QCalendarWidget>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QMenuBar>
#include <QMessageBox>
#include <QApplication>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <new>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Binding.h"
#include "platform/Controls.h"
#include "platform/Errors.h"
#include "platform/Form.h"
#include "platform/MsgBox.h"
#include "platform/Picture.h"
#include "platform/Twips.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using namespace wt::test;
using store::RuntimeError;

TEST(Twips, FifteenToThePixel)
{
    EXPECT_EQ(platform::px(7320), 488);
    EXPECT_EQ(platform::px(20430), 1362);
    EXPECT_EQ(platform::px(10710), 714);
    EXPECT_EQ(platform::twips(706), 10590);
    EXPECT_EQ(platform::px(10589.0f), 706);
}

TEST(Pictures, FormatComesFromTheContentNotTheName)
{
    QTemporaryDir dir;
    const QString sample = QString::fromLocal8Bit(qgetenv("WT_SOURCE_DIR")) + "/resources/sample.png";
    ASSERT_TRUE(QFile::copy(sample, dir.path() + "/picture.img"));
    EXPECT_FALSE(platform::LoadPicture(dir.path() + "/picture.img").isNull());
    ASSERT_TRUE(QFile::copy(sample, dir.path() + "/picture.bmp")); // a PNG named as a bitmap
    EXPECT_FALSE(platform::LoadPicture(dir.path() + "/picture.bmp").isNull());

    try {
        platform::LoadPicture(dir.path() + "/missing.img");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_NE(e.description().find("missing.img"), std::string::npos);
    }
    QFile junk(dir.path() + "/junk.img");
    junk.open(QIODevice::WriteOnly);
    junk.write("GIF89a but not really");
    junk.close();
    try {
        platform::LoadPicture(dir.path() + "/junk.img");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 481);
    }
}

TEST(Pictures, OnlyARegularFileIsOpenedAndAHugePictureIsRefusedByItsSize)
{
    QTemporaryDir dir;
    const QString sample = QString::fromLocal8Bit(qgetenv("WT_SOURCE_DIR")) + "/resources/sample.png";
    // A named pipe blocks whoever opens it for reading until a writer comes: it must be
    // refused before it is opened.
    const QString pipe = dir.path() + "/pipe.img";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.img"));
    for (const QString& path : {pipe, dir.path() + "/folder.img", QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(path.toStdString());
        try {
            platform::LoadPicture(path);
            FAIL() << "loaded";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), store::err::PathFileAccess);
            EXPECT_NE(e.description().find("'" + path.toStdString() + "'"), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("not a regular file"), std::string::npos) << e.description();
        }
    }
    // A link to a picture is followed.
    ASSERT_TRUE(QFile::link(sample, dir.path() + "/link.img"));
    EXPECT_FALSE(platform::LoadPicture(dir.path() + "/link.img").isNull());

    // 20000 x 20000 pixels: a small file (one bit a pixel, compressed) that would take
    // 1.6 GB once shown. It is refused by its size, read from the header.
    QImage huge(20000, 20000, QImage::Format_Mono);
    ASSERT_FALSE(huge.isNull());
    huge.fill(0);
    ASSERT_TRUE(huge.save(dir.path() + "/huge.img", "PNG"));
    huge = QImage();
    try {
        platform::LoadPicture(dir.path() + "/huge.img");
        FAIL() << "loaded";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), store::err::InvalidPicture);
        EXPECT_NE(e.description().find("huge.img"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("20000 x 20000 pixels"), std::string::npos) << e.description();
    }
}

TEST(Errors, TheGeneralBoxNamesNumberAndDescription)
{
    EXPECT_EQ(platform::RuntimeErrorText(RuntimeError(3021, "No current record.")),
              "Run-time error '3021':\n\nNo current record.");
    Seams seams;
    EXPECT_TRUE(platform::Guard([] {}));
    EXPECT_TRUE(seams.errors.empty());
    // Each kind of failure under its own number, described as what happened.
    struct Case { const char* what; std::function<void()> fail; long number; const char* says; };
    for (const Case& c : {
             Case{"run-time error", [] { throw RuntimeError(53, "File not found: 'x'."); }, 53, "File not found: 'x'."},
             Case{"out of memory", [] { throw std::bad_alloc(); }, 7, "Out of memory"},
             Case{"file system", [] { throw std::filesystem::filesystem_error("cannot stat", std::error_code(13, std::generic_category())); },
                  75, "cannot stat"},
             Case{"anything else", [] { throw std::runtime_error("vector too long"); }, 51, "Internal error: vector too long"},
             Case{"not even an exception", [] { throw 42; }, 51, "Internal error"}}) {
        seams.errors.clear();
        EXPECT_FALSE(platform::Guard(c.fail)) << c.what;
        ASSERT_EQ(seams.errors.size(), 1u) << c.what;
        EXPECT_EQ(seams.errors[0].number(), c.number) << c.what;
        EXPECT_NE(seams.errors[0].description().find(c.says), std::string::npos) << c.what << ": "
                                                                                 << seams.errors[0].description();
    }
}

TEST(MsgBoxSeam, AnEmptyTitleShowsTheProgramsTitle)
{
    Seams seams;
    seams.answers = {platform::vbNo};
    EXPECT_EQ(platform::MsgBox("Delete record?", platform::vbYesNo + platform::vbQuestion), platform::vbNo);
    ASSERT_EQ(seams.questions.size(), 1u);
    EXPECT_EQ(seams.questions[0].title, "Wingtrail");
    EXPECT_EQ(seams.questions[0].buttons, 36);
}

TEST(MsgBox, TheRealBoxAnswersEnterWithItsDefaultAndEscapeWithItsLastButton)
{
    // No seam: the box a user sees. Escape and the close control mean No in a Yes/No
    // question, Cancel where there is one, OK in a plain message.
    using namespace platform;
    struct Case { const char* what; int buttons; Qt::Key key; int answer; };
    for (const Case& c : {Case{"Enter on a question", vbYesNo + vbQuestion, Qt::Key_Return, vbYes},
                          Case{"Escape on a question", vbYesNo + vbQuestion, Qt::Key_Escape, vbNo},
                          Case{"Enter, No as default", vbYesNo + vbQuestion + vbDefaultButton2, Qt::Key_Return, vbNo},
                          Case{"Escape with Cancel", vbYesNoCancel, Qt::Key_Escape, vbCancel},
                          Case{"Escape on a message", vbOKOnly + vbExclamation, Qt::Key_Escape, vbOK}}) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenShown([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box) << c.what;
            title = box->windowTitle();
            icon = box->icon();
            QTest::keyClick(box, c.key);
        });
        EXPECT_EQ(MsgBox(QStringLiteral("File another log?"), c.buttons), c.answer) << c.what;
        EXPECT_EQ(title, "Wingtrail") << c.what;
        if ((c.buttons & 0x70) == vbQuestion) {
            EXPECT_EQ(icon, QMessageBox::Question) << c.what;
        }
    }
}

TEST(KeyPressHook, SeesTypedCharactersAndCanDropOrChangeThem)
{
    platform::TextBox box;
    std::vector<int> seen;
    box.KeyPress = [&](int& code) {
        seen.push_back(code);
        if (code == 'x')
            code = 0;
        else if (code == ',')
            code = '.';
    };
    box.setMaxLengthLimit(5);
    QTest::keyClicks(&box, "1x,5");
    EXPECT_EQ(box.text(), "1.5");
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Left);
    QTest::keyClick(&box, Qt::Key_Delete);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.text(), "1");
    // Backspace (8) and Enter (13) are characters; arrows and Delete are not.
    EXPECT_EQ(seen, (std::vector<int>{'1', 'x', ',', '5', 8, 13}));
    QTest::keyClicks(&box, "234567");
    EXPECT_EQ(box.text(), "12345"); // the length limit still holds
}

TEST(KeyPressHook, PasteIsNotFilteredAndMultiLineLimitHolds)
{
    platform::MultiLineTextBox box;
    box.setMaxLengthLimit(10);
    int calls = 0;
    box.KeyPress = [&](int&) { ++calls; };
    QTest::keyClicks(&box, "abc");
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, "defghijkl");
    EXPECT_EQ(box.toPlainText(), "abc\ndefghi");
    // Every typed character reached the hook, those past the limit too (13 = Enter).
    EXPECT_EQ(calls, 13);
    QGuiApplication::clipboard()->setText("0123456789");
    box.clear();
    box.setPlainText("12345");
    box.moveCursor(QTextCursor::End);
    box.paste();
    EXPECT_EQ(box.toPlainText(), "1234501234");
    EXPECT_EQ(calls, 13); // the hook sees typed characters only
}

namespace {

// A box with a filter as the entry form's are: 'x' is refused with a beep, a comma becomes
// a period, everything else goes in; it takes five characters.
struct FilteredBox {
    platform::TextBox box;
    std::vector<int> seen;
    FilteredBox()
    {
        box.setMaxLengthLimit(5);
        box.KeyPress = [this](int& code) {
            seen.push_back(code);
            if (code == 'x') {
                code = 0;
                platform::Beep();
            } else if (code == ',') {
                code = '.';
            }
        };
    }
};

// Each way text reaches a box without being typed, as a user or the desktop delivers it.
struct Arrival {
    const char* how;
    std::function<void(platform::TextBox&, const QString&)> deliver;
};

std::vector<Arrival> Arrivals()
{
    std::vector<Arrival> out;
    for (const QKeySequence& keys : QKeySequence::keyBindings(QKeySequence::Paste)) {
        out.push_back({"paste key", [keys](platform::TextBox& box, const QString& text) {
                           QGuiApplication::clipboard()->setText(text);
                           if (QGuiApplication::clipboard()->supportsSelection())
                               QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
                           const QKeyCombination k = keys[0];
                           QTest::keyClick(&box, k.key(), k.keyboardModifiers());
                       }});
    }
    out.push_back({"context menu Paste", [](platform::TextBox& box, const QString& text) {
                       QGuiApplication::clipboard()->setText(text);
                       QContextMenuEvent menuAt(QContextMenuEvent::Mouse, QPoint(2, 2), box.mapToGlobal(QPoint(2, 2)));
                       QApplication::sendEvent(&box, &menuAt);
                       auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                       ASSERT_TRUE(menu);
                       QAction* paste = nullptr;
                       for (QAction* a : menu->actions())
                           if (a->text().contains(QStringLiteral("Paste")))
                               paste = a;
                       ASSERT_TRUE(paste);
                       paste->trigger();
                       menu->close();
                   }});
    out.push_back({"program's paste()", [](platform::TextBox& box, const QString& text) {
                       QGuiApplication::clipboard()->setText(text);
                       box.paste();
                   }});
    out.push_back({"drop", [](platform::TextBox& box, const QString& text) {
                       QMimeData data;
                       data.setText(text);
                       const QPoint at(box.width() - 2, 2);
                       // A drop goes to the widget that accepted the drag's entry.
                       QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                       QApplication::sendEvent(&box, &enter);
                       QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                       QApplication::sendEvent(&box, &drop);
                   }});
    out.push_back({"input method", [](platform::TextBox& box, const QString& text) {
                       QInputMethodEvent commit;
                       commit.setCommitString(text);
                       QApplication::sendEvent(&box, &commit);
                   }});
    out.push_back({"one key event with several characters", [](platform::TextBox& box, const QString& text) {
                       QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
                       QApplication::sendEvent(&box, &press);
                   }});
    if (QGuiApplication::clipboard()->supportsSelection())
        out.push_back({"middle click", [](platform::TextBox& box, const QString& text) {
                           QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
                           QTest::mouseClick(&box, Qt::MiddleButton, {}, QPoint(box.width() - 2, 2));
                       }});
    return out;
}

} // namespace

TEST(KeyPressHook, TextThatIsNotTypedGoesThroughTheHookCharacterByCharacter)
{
    struct Case {
        const char* before;
        const char* arrives;
        const char* shows;
        int beeps;
    };
    const Case cases[] = {
        {"", "1x,5", "1.5", 1},           // one beep for the insertion, not one per 'x'
        {"", "x1xx2x", "12", 1},
        {"", "12,345678", "12.34", 0},    // changed, then cut at the limit
        {"9", "xxxx", "9", 1},            // all refused: the box is unchanged
        {"", "7\b8", "78", 1},           // Backspace is a key, not a character to insert
        {"", "\U0001F6EC4", "\U0001F6EC4", 0}, // the hook passes it, the box shows it
    };
    for (const Arrival& a : Arrivals()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(a.how) + ": '" + c.arrives + "'");
            Seams seams;
            FilteredBox f;
            f.box.show();
            f.box.setText(QString::fromUtf8(c.before));
            f.box.end(false);
            f.seen.clear();
            a.deliver(f.box, QString::fromUtf8(c.arrives));
            EXPECT_EQ(f.box.text().toStdString(), c.shows);
            EXPECT_EQ(seams.beeps, c.beeps);
            EXPECT_FALSE(f.seen.empty()) << "the hook saw the text";
        }
    }
    // Without a hook a box takes what arrives, as QLineEdit does.
    for (const Arrival& a : Arrivals()) {
        SCOPED_TRACE(a.how);
        Seams seams;
        platform::TextBox plain;
        plain.show();
        a.deliver(plain, QStringLiteral("1x,5"));
        EXPECT_EQ(plain.text().toStdString(), "1x,5");
        EXPECT_EQ(seams.beeps, 0);
    }
}

namespace {
QCalendarWidget* OpenCalendar()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            if (auto* c = w->findChild<QCalendarWidget*>())
                return c;
    return nullptr;
}
} // namespace

// The keys a user presses in the date picker: the ones that open a drop-down open the
// calendar (and change nothing until a day is picked there); the arrows step the section
// the caret is in, in sight; no other combination changes the date unseen.
TEST(DatePickerKeys, OpenTheCalendarOrStepTheSectionInSight)
{
    struct Case { const char* what; Qt::Key key; Qt::KeyboardModifiers mods; bool opens; QDate after; };
    const QDate start(2004, 3, 5);
    const Case cases[] = {
        {"F4", Qt::Key_F4, Qt::NoModifier, true, start},
        {"Alt+Down", Qt::Key_Down, Qt::AltModifier, true, start},
        {"Alt+Up", Qt::Key_Up, Qt::AltModifier, true, start},
        {"Up", Qt::Key_Up, Qt::NoModifier, false, start.addDays(1)},
        {"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier, false, start},
        {"Ctrl+Down", Qt::Key_Down, Qt::ControlModifier, false, start},
        {"Alt+PageDown", Qt::Key_PageDown, Qt::AltModifier, false, start},
        {"Ctrl+PageUp", Qt::Key_PageUp, Qt::ControlModifier, false, start},
        {"Meta+Down", Qt::Key_Down, Qt::MetaModifier, false, start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget window;
        platform::DatePicker picker(&window);
        picker.setDate(start);
        window.show();
        picker.setFocus();
        picker.setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(&picker, c.key, c.mods);
        QCalendarWidget* calendar = OpenCalendar();
        EXPECT_EQ(calendar != nullptr, c.opens);
        EXPECT_EQ(picker.date(), c.after);
        if (calendar) {
            EXPECT_EQ(calendar->selectedDate(), start) << "the calendar opens on the date shown";
            calendar->window()->close();
        }
    }
}

// The banner is a tab stop; when it holds the focus it shows it, with the style's focus
// frame over what the window shows of it.
TEST(PictureBox, ShowsAFocusFrameWhileItHoldsTheFocus)
{
    QWidget window;
    window.resize(200, 100);
    QPixmap banner(400, 60);
    banner.fill(QColor(0x20, 0x40, 0x80));
    QLabel* box = platform::MakePictureBox(&window, QStringLiteral("picMain"), banner, 0, 0);
    QLineEdit other(&window);
    other.move(0, 70);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other.setFocus();
    const QImage without = box->grab().toImage();
    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    const QImage with = box->grab().toImage();
    EXPECT_NE(with, without) << "nothing shows that the picture box holds the focus";
    // The frame is drawn where the window shows the box: some pixel near the window's
    // right edge, inside the box, has changed.
    bool nearRightEdge = false;
    for (int y = 0; y < with.height() && !nearRightEdge; ++y)
        for (int x = window.width() - 6; x < window.width(); ++x)
            nearRightEdge = nearRightEdge || with.pixel(x, y) != without.pixel(x, y);
    EXPECT_TRUE(nearRightEdge) << "the frame is cut off at the window's edge";
}

class Bound : public ::testing::Test {
protected:
    void SetUp() override
    {
        Module1::conLog->Open();
        folder.exec("INSERT INTO tblLog (date, departure, nextday, flightrule) VALUES ('2004-03-05', 'EDDF', 1, 'IFR')");
        rs = std::make_shared<store::Recordset>();
    }
    ProgramFolder folder;
    Seams seams;
    std::shared_ptr<store::Recordset> rs;
};

TEST_F(Bound, ControlsShowTheCurrentRecordAndFollowAddNew)
{
    rs->Open(logbook::kSelectAll, *Module1::conLog, store::adOpenStatic, store::adLockOptimistic);
    QLineEdit from;
    QCheckBox next;
    QComboBox rule;
    rule.setEditable(true);
    platform::DatePicker date;
    platform::Bind(&from, rs, "departure");
    platform::Bind(&next, rs, "nextday");
    platform::Bind(&rule, rs, "flightrule");
    platform::Bind(&date, rs, "date");
    EXPECT_EQ(from.text(), "EDDF");
    EXPECT_TRUE(next.isChecked());
    EXPECT_EQ(rule.currentText(), "IFR");
    EXPECT_EQ(date.date(), QDate(2004, 3, 5));
    rs->AddNew();
    EXPECT_EQ(from.text(), "");
    EXPECT_FALSE(next.isChecked());
    EXPECT_EQ(rule.currentText(), "");
    // A new record's date shows today and an unticked box shows false; both go into the
    // record, so that a Save stores what the window showed.
    EXPECT_EQ(date.date(), QDate::currentDate());
    EXPECT_EQ(rs->Fields("date").toText(), QDate::currentDate().toString(Qt::ISODate).toStdString());
    EXPECT_EQ(rs->Fields("nextday"), store::Value(false));
    EXPECT_TRUE(rs->Fields("departure").isNull());
}

// A value longer than its box opens showing its start ("KLM Royal Dut..."), not its end
// ("...l Royal Dutch Airlines"), in every kind of single-line box, the combo's included.
TEST_F(Bound, ALongValueShowsItsStart)
{
    const std::string airline = "KLM Royal Dutch Airlines, the flying Dutchman since 1919";
    folder.exec("UPDATE tblLog SET airline = '" + airline + "', flightrule = '" + airline + "'");
    rs->Open(logbook::kSelectAll, *Module1::conLog, store::adOpenStatic, store::adLockOptimistic);
    QWidget window;
    platform::TextBox limited(&window);
    limited.setMaxLengthLimit(10);
    QLineEdit plain(&window);
    QComboBox rule(&window);
    rule.setEditable(true);
    for (QWidget* w : std::initializer_list<QWidget*>{&limited, &plain, &rule})
        w->setFixedWidth(80);
    window.show();
    platform::Bind(&limited, rs, "airline");
    platform::Bind(&plain, rs, "airline");
    platform::Bind(&rule, rs, "flightrule");
    for (QLineEdit* box : {static_cast<QLineEdit*>(&limited), &plain, rule.lineEdit()}) {
        EXPECT_EQ(box->text().toStdString(), airline);
        EXPECT_EQ(box->cursorPosition(), 0) << "the box shows the end of its value";
    }
}

TEST_F(Bound, WhatTheUserEntersIsStoredByUpdateAndDroppedByCancel)
{
    rs->Open(logbook::kSelectAll, *Module1::conLog, store::adOpenStatic, store::adLockOptimistic);
    QLineEdit from;
    platform::Bind(&from, rs, "departure");
    rs->AddNew();
    QTest::keyClicks(&from, "LFPG");
    rs->Update();
    rs->AddNew();
    QTest::keyClicks(&from, "KJFK");
    rs->CancelUpdate();
    rs->Close();
    const auto rows = ReadRows(folder.databasePath());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].at("departure"), "LFPG");
    // An emptied box stores Null, not an empty text.
    store::Recordset edit;
    auto rsEdit = std::make_shared<store::Recordset>();
    rsEdit->Open(logbook::SelectById(1), *Module1::conLog, store::adOpenStatic, store::adLockPessimistic);
    QLineEdit box;
    platform::Bind(&box, rsEdit, "departure");
    box.clear();
    rsEdit->Update();
    EXPECT_FALSE(ReadRows(folder.databasePath())[0].at("departure").has_value());
}

// What another program wrote and the controls cannot show (a check box has no Null, a
// date picker no "not a date") stays in the file unless the user changes that control.
TEST_F(Bound, AnUntouchedControlWritesNothingBackAndOnlyAChangeIsWritten)
{
    folder.useTableWithoutRules();
    folder.exec("INSERT INTO tblLog (logid, date, departure, nextday) VALUES"
                " (1, NULL, 'A', NULL), (2, 20240517, 'B', NULL), (3, 45000.5, 'C', 'yes'),"
                " (4, 'not a date', 'D', 1), (5, '2024-02-30', 'E', 0), (6, '2024-05-17', 'F', NULL)");
    const std::string asStored =
        "SELECT logid, typeof(date) AS t, date, typeof(nextday) AS n, nextday, departure FROM tblLog ORDER BY logid";
    const auto before = ReadRows(folder.databasePath(), asStored);
    auto edit = [&](int logid, const std::function<void(platform::DatePicker&, QCheckBox&)>& change) {
        auto rsEdit = std::make_shared<store::Recordset>();
        rsEdit->Open(logbook::SelectById(logid), *Module1::conLog, store::adOpenStatic,
                     store::adLockPessimistic);
        platform::DatePicker date;
        QCheckBox next;
        platform::TextBox from;
        platform::Bind(&date, rsEdit, "date");
        platform::Bind(&next, rsEdit, "nextday");
        platform::Bind(&from, rsEdit, "departure");
        change(date, next);
        rsEdit->Update();
        rsEdit->Close();
    };
    for (int logid = 1; logid <= 6; ++logid)
        edit(logid, [](platform::DatePicker&, QCheckBox&) {});
    EXPECT_EQ(ReadRows(folder.databasePath(), asStored), before);

    // The user's change is written, also a change back to what the control first showed.
    edit(1, [](platform::DatePicker& date, QCheckBox& next) {
        date.setDate(QDate(1601, 1, 1));
        next.setChecked(true);
    });
    edit(4, [](platform::DatePicker& date, QCheckBox& next) {
        const QDate shown = date.date();
        date.setDate(shown.addDays(1));
        date.setDate(shown);
        next.setChecked(false);
    });
    auto after = ReadRows(folder.databasePath(), asStored);
    EXPECT_EQ(after[0].at("date"), "1601-01-01");
    EXPECT_EQ(after[0].at("nextday"), "1");
    EXPECT_EQ(after[3].at("date"), QDate::currentDate().toString(Qt::ISODate).toStdString());
    EXPECT_EQ(after[3].at("nextday"), "0");
    for (int i : {1, 2, 4, 5})
        EXPECT_EQ(after[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)]);

    // A new record is another matter: what its untouched date picker and check box show is
    // what Save stores, since nothing else was ever there.
    rs->Open(logbook::kSelectAll, *Module1::conLog, store::adOpenStatic, store::adLockOptimistic);
    platform::DatePicker date;
    QCheckBox next;
    platform::Bind(&date, rs, "date");
    platform::Bind(&next, rs, "nextday");
    rs->AddNew();
    rs->Update();
    rs->Close();
    after = ReadRows(folder.databasePath(), asStored);
    ASSERT_EQ(after.size(), 7u);
    EXPECT_EQ(after[6].at("date"), QDate::currentDate().toString(Qt::ISODate).toStdString());
    EXPECT_EQ(after[6].at("nextday"), "0");
}

TEST_F(Bound, BindingToAClosedRecordsetOrAnUnknownFieldFails)
{
    QLineEdit box;
    EXPECT_THROW(platform::Bind(&box, rs, "departure"), RuntimeError);
    rs->Open(logbook::kSelectAll, *Module1::conLog);
    try {
        platform::Bind(&box, rs, "nosuchfield");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.description().find("nosuchfield"), std::string::npos);
    }
}

TEST_F(Bound, TheBindingEndsWhenTheRecordsetCloses)
{
    rs->Open(logbook::kSelectAll, *Module1::conLog, store::adOpenStatic, store::adLockOptimistic);
    QLineEdit box;
    platform::Bind(&box, rs, "departure");
    rs->Close();
    QTest::keyClick(&box, Qt::Key_End); // the box opened showing its start
    QTest::keyClicks(&box, "X");        // must not reach a closed recordset
    EXPECT_TRUE(seams.errors.empty());
    EXPECT_EQ(box.text(), "EDDFX");
}

namespace {
class Recorder : public platform::Form {
public:
    std::vector<std::string> events;
    bool closeInLoad = false;
    bool failInLoad = false;

protected:
    void Form_Load() override
    {
        events.push_back("Load");
        if (failInLoad)
            throw RuntimeError(3704, "load failed");
        if (closeInLoad)
            Unload();
    }
    void Form_Unload() override { events.push_back("Unload"); }
};
} // namespace

TEST(Forms, ModalShowReturnsAfterTheUnloadRan)
{
    Seams seams;
    Recorder form;
    bool visibleWhileOpen = false;
    WhenShown([&] {
        visibleWhileOpen = form.isVisible() && form.isModal();
        form.Unload();
    });
    form.showModal(nullptr);
    EXPECT_TRUE(visibleWhileOpen);
    EXPECT_EQ(form.events, (std::vector<std::string>{"Load", "Unload"}));
}

TEST(Forms, AnOwnedWindowIsTransientForItsOwnerAndKeepsItsBorder)
{
    // The window manager learns of the owner only from the native window's transient
    // parent, which the X11 platform writes for dialog-type windows alone.
    Seams seams;
    struct Case { const char* what; Qt::WindowFlags flags; bool sizable; };
    for (const Case& c : {Case{"sizable window", Qt::Window, true},
                          Case{"fixed dialog", Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint, false}}) {
        SCOPED_TRACE(c.what);
        platform::Form owner;
        owner.showNormal();
        Recorder form;
        form.setWindowFlags(c.flags);
        form.setMinimumSize(300, 200);
        QWindow* transientParent = nullptr;
        Qt::WindowFlags shownFlags;
        bool modal = false;
        QSize minSize;
        WhenShown([&] {
            transientParent = form.windowHandle() ? form.windowHandle()->transientParent() : nullptr;
            shownFlags = form.windowFlags();
            modal = form.windowModality() != Qt::NonModal;
            minSize = form.minimumSize();
            form.Unload();
        });
        form.showModal(&owner);
        EXPECT_EQ(transientParent, owner.windowHandle());
        EXPECT_EQ(shownFlags & Qt::WindowType_Mask, Qt::Dialog);
        EXPECT_TRUE(modal);
        EXPECT_EQ(minSize, QSize(300, 200));
        EXPECT_EQ(bool(shownFlags & Qt::WindowMinimizeButtonHint), c.sizable);
        EXPECT_EQ(bool(shownFlags & Qt::WindowMaximizeButtonHint), c.sizable);
        EXPECT_TRUE(shownFlags & Qt::WindowCloseButtonHint);
        EXPECT_EQ(form.events, (std::vector<std::string>{"Load", "Unload"}));
    }
}

TEST(Forms, ALoadThatFailsOrClosesShowsNothing)
{
    Seams seams;
    Recorder closing;
    closing.closeInLoad = true;
    closing.showModal(nullptr); // must not block
    EXPECT_EQ(closing.events, (std::vector<std::string>{"Load", "Unload"}));
    Recorder failing;
    failing.failInLoad = true;
    failing.showModal(nullptr);
    EXPECT_FALSE(failing.isVisible());
    ASSERT_EQ(seams.errors.size(), 1u);
}

TEST(Forms, ClientAreaLiesBelowTheMenuBar)
{
    platform::Form form;
    form.menuBar()->addMenu(QStringLiteral("&File"));
    form.setClientSizeTwips(7200, 4485);
    EXPECT_EQ(form.clientWidthTwips(), 7200);
    EXPECT_EQ(form.clientHeightTwips(), 4485);
    EXPECT_GT(form.client()->y(), 0);
}

TEST(Forms, AScreenReaderSeesAWindowWithItsTitle)
{
    platform::Form form;
    form.setWindowTitle(QStringLiteral("Wingtrail - New Log File"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&form);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->role(), QAccessible::Window);
    EXPECT_EQ(a->text(QAccessible::Name), "Wingtrail - New Log File");
}
