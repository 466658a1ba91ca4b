// The log entry form as both windows build it: controls, geometry, labels, tab order,
// length limits, the flight-rule box and the key filters. No logbook is opened here.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "EntryTesting.h"
#include "entry/frmEditLog.h"
#include "entry/frmNewLog.h"
#include "platform/Controls.h"
#include "platform/Twips.h"
#include "support/TestSupport.h"

using platform::pxRect;
using wt::test::Seams;
using wt::test::Type;

namespace {

std::unique_ptr<LogEntryForm> Make(LogEntryForm::Variant v)
{
    if (v == LogEntryForm::Variant::NewLog)
        return std::make_unique<frmNewLog>();
    return std::make_unique<frmEditLog>();
}

const char* NameOf(LogEntryForm::Variant v) { return v == LogEntryForm::Variant::NewLog ? "frmNewLog" : "frmEditLog"; }

constexpr LogEntryForm::Variant kVariants[] = {LogEntryForm::Variant::NewLog, LogEntryForm::Variant::EditLog};

struct Placed {
    const char* name;
    int left, top, width, height;
};

// Inside Frame1, relative to the frame; the same in both windows.
constexpr Placed kInFrame[] = {
    {"lblDate", 240, 360, 1815, 255},       {"txtDate", 2160, 240, 1815, 315},
    {"lblFrom", 240, 720, 1815, 255},       {"txtFrom", 2160, 600, 1815, 315},
    {"lblTo", 5160, 720, 1455, 255},        {"txtTo", 6720, 600, 1815, 315},
    {"lblDepTime", 240, 1080, 1815, 255},   {"txtDepTime", 2160, 960, 1815, 315},
    {"lblDepTimeZ", 4080, 1080, 735, 255},  {"lblArrTime", 5160, 1080, 1455, 255},
    {"txtArrTime", 6720, 960, 1815, 315},   {"lblArrTimeZ", 8640, 1080, 735, 255},
    {"chkNextDay", 9240, 1020, 615, 255},   {"lblFlightime", 240, 1440, 1815, 255},
    {"txtFlightTime", 2160, 1320, 1815, 315}, {"lblAircraft", 240, 1800, 1815, 255},
    {"txtAircraft", 2160, 1680, 1815, 315}, {"lblAirline", 5160, 1800, 1455, 255},
    {"txtAirline", 6720, 1680, 1815, 315},  {"lblCallsign", 240, 2160, 1815, 255},
    {"txtCallsign", 2160, 2040, 1815, 315}, {"lblFlightRule", 5160, 2160, 1455, 255},
    {"txtFlightRule", 6720, 2040, 1815, 315}, {"lblPax", 240, 2520, 1815, 255},
    {"txtPax", 2160, 2400, 1815, 315},      {"lblCargo", 5160, 2520, 1455, 255},
    {"txtCargo", 6720, 2400, 1815, 315},    {"lblLbs", 8640, 2520, 735, 255},
    {"lblRemarks", 240, 3000, 1815, 255},   {"txtRemarks", 2160, 2880, 6375, 1035},
    {"lblRoute", 240, 4080, 1815, 255},     {"txtRoute", 2160, 3960, 6375, 1035},
};

// Every label with the control it names.
constexpr std::pair<const char*, const char*> kLabelled[] = {
    {"lblDate", "txtDate"},         {"lblFrom", "txtFrom"},         {"lblTo", "txtTo"},
    {"lblDepTime", "txtDepTime"},   {"lblArrTime", "txtArrTime"},   {"lblFlightime", "txtFlightTime"},
    {"lblAircraft", "txtAircraft"}, {"lblAirline", "txtAirline"},   {"lblCallsign", "txtCallsign"},
    {"lblFlightRule", "txtFlightRule"}, {"lblPax", "txtPax"},       {"lblCargo", "txtCargo"},
    {"lblRemarks", "txtRemarks"},   {"lblRoute", "txtRoute"},
};

QWidget* Child(QWidget* form, const char* name)
{
    auto* w = form->findChild<QWidget*>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

} // namespace

TEST(EntryFormLayout, ControlsSitWhereTheFormPutsThem)
{
    for (auto v : kVariants) {
        SCOPED_TRACE(NameOf(v));
        auto form = Make(v);
        const bool isNew = v == LogEntryForm::Variant::NewLog;
        EXPECT_EQ(form->objectName(), NameOf(v));
        EXPECT_EQ(form->clientWidthTwips(), 10590);
        EXPECT_EQ(form->clientHeightTwips(), 7785);
        EXPECT_EQ(form->windowTitle(), isNew ? "Wingtrail - New Log File" : "Wingtrail - Edit Logbook");
        EXPECT_FALSE(form->windowIcon().isNull());
        const auto flags = form->windowFlags();
        EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);

        for (const auto& p : kInFrame) {
            SCOPED_TRACE(p.name);
            QWidget* w = Child(form.get(), p.name);
            ASSERT_TRUE(w);
            EXPECT_EQ(w->parentWidget(), form->Frame1);
            EXPECT_EQ(w->geometry(), pxRect(p.left, p.top, p.width, p.height));
        }

        // Directly on the client area.
        EXPECT_EQ(form->picMain->parentWidget(), form->client());
        EXPECT_EQ(form->picMain->pos(), QPoint(0, 0));
        EXPECT_EQ(form->picMain->size(), pxRect(0, 0, 20430, 1155).size());
        EXPECT_EQ(form->Frame1->title(), isNew ? "New Log File" : "Edit Logbook");
        EXPECT_EQ(form->Frame1->geometry(), pxRect(0, 1320, 10575, isNew ? 5415 : 5175));
        EXPECT_EQ(form->cmdSave->text(), "Save");
        EXPECT_EQ(form->cmdSave->geometry(),
                  isNew ? pxRect(120, 6960, 1095, 375) : pxRect(120, 6840, 1335, 495));
        EXPECT_FALSE(form->cmdSave->isDefault());
        EXPECT_FALSE(form->cmdSave->autoDefault());
        // Docked: along the bottom of the client area, across its width.
        EXPECT_EQ(form->StatusBar1->geometry(), pxRect(0, 7515, 10590, 270));
        EXPECT_TRUE(form->StatusBar1->currentMessage().isEmpty());
    }
}

TEST(EntryFormLayout, ControlsStartEmptyWithTheirLimits)
{
    for (auto v : kVariants) {
        SCOPED_TRACE(NameOf(v));
        auto form = Make(v);
        const bool isNew = v == LogEntryForm::Variant::NewLog;
        struct Limit {
            platform::TextBox* box;
            int limit;
        };
        const Limit limits[] = {
            {form->txtFrom, 100},      {form->txtTo, 100},        {form->txtDepTime, 5},
            {form->txtArrTime, 5},     {form->txtFlightTime, 5},  {form->txtAircraft, 100},
            {form->txtPax, 5},         {form->txtCargo, 15},
        };
        for (const auto& l : limits) {
            SCOPED_TRACE(l.box->objectName().toStdString());
            EXPECT_TRUE(l.box->text().isEmpty());
            EXPECT_EQ(l.box->maxLengthLimit(), l.limit);
            EXPECT_EQ(l.box->maxLength(), l.limit);
        }
        EXPECT_EQ(form->txtRemarks->maxLengthLimit(), 1000);
        EXPECT_EQ(form->txtRoute->maxLengthLimit(), 1000);
        EXPECT_TRUE(form->txtRemarks->toPlainText().isEmpty());
        EXPECT_FALSE(form->chkNextDay->isChecked());
        EXPECT_EQ(form->chkNextDay->text(), "+1");
        // The combo box shows its own name until the binding replaces it.
        EXPECT_EQ(form->txtFlightRule->currentText(), "txtFlightRule");
        ASSERT_EQ(form->txtFlightRule->count(), 3);
        const char* items[] = {"IFR", "VFR", "SVFR"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(form->txtFlightRule->itemText(i), items[i]);
            EXPECT_EQ(form->txtFlightRule->itemData(i).toInt(), 0);
        }
        EXPECT_TRUE(form->txtFlightRule->isEditable());
        EXPECT_EQ(form->txtFlightRule->insertPolicy(), QComboBox::NoInsert);
        EXPECT_EQ(form->txtDate->minimumDate(), QDate(1601, 1, 1));
        EXPECT_EQ(form->txtDate->maximumDate(), QDate(9999, 12, 31));
        // The two limits in which the windows differ, checked by typing: 300 characters.
        const QString longText(300, QLatin1Char('W'));
        Type(form->txtCallsign, longText);
        Type(form->txtAirline, longText);
        EXPECT_EQ(form->txtCallsign->text().size(), isNew ? 300 : 10);
        EXPECT_EQ(form->txtAirline->text().size(), isNew ? 300 : 100);
    }
}

TEST(EntryFormLayout, EveryBoxIsNamedByItsLabelAndEveryCaptionFits)
{
    for (auto v : kVariants) {
        SCOPED_TRACE(NameOf(v));
        auto form = Make(v);
        for (const auto& [labelName, controlName] : kLabelled) {
            SCOPED_TRACE(labelName);
            auto* label = qobject_cast<QLabel*>(Child(form.get(), labelName));
            QWidget* control = Child(form.get(), controlName);
            ASSERT_TRUE(label && control);
            EXPECT_EQ(label->buddy(), control);
            EXPECT_EQ(control->accessibleName(), label->text());
            // What a screen reader hears: the box's name, whatever it holds.
            QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(control);
            ASSERT_TRUE(heard);
            EXPECT_EQ(heard->text(QAccessible::Name), label->text());
        }
        // The combo box is heard as a combo box named "Flightrule" holding its value, and
        // its inner field, which takes the focus, is named too.
        form->txtFlightRule->setEditText(QStringLiteral("SVFR"));
        QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(form->txtFlightRule);
        EXPECT_EQ(combo->role(), QAccessible::ComboBox);
        EXPECT_EQ(combo->text(QAccessible::Name), "Flightrule");
        EXPECT_EQ(combo->text(QAccessible::Value), "SVFR");
        ASSERT_TRUE(combo->actionInterface());
        EXPECT_TRUE(combo->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(form->txtFlightRule->lineEdit());
        EXPECT_EQ(field->text(QAccessible::Name), "Flightrule");
        EXPECT_EQ(field->text(QAccessible::Value), "SVFR");
        // Labels take no focus and carry no access key.
        for (QLabel* label : form->Frame1->findChildren<QLabel*>()) {
            SCOPED_TRACE(label->objectName().toStdString());
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
            EXPECT_FALSE(label->text().contains('&'));
            // The caption fits its label in the window's font (whatever font stands in for it).
            const QFontMetrics fm(label->font());
            EXPECT_LE(fm.horizontalAdvance(label->text()), label->width());
            EXPECT_LE(fm.height(), label->height());
        }
        QStyleOptionButton check;
        check.initFrom(form->chkNextDay);
        check.text = form->chkNextDay->text();
        const QRect caption = form->chkNextDay->style()->subElementRect(QStyle::SE_CheckBoxContents, &check, form->chkNextDay);
        EXPECT_LE(QFontMetrics(form->chkNextDay->font()).horizontalAdvance("+1"), caption.width());
        EXPECT_LE(QFontMetrics(form->cmdSave->font()).horizontalAdvance("Save") + 8, form->cmdSave->width());
    }
}

TEST(EntryFormLayout, TabRunsFromTheBannerThroughEveryBoxToSave)
{
    const QStringList expected = {"txtDate",     "txtFrom",     "txtTo",       "txtDepTime",
                                  "txtArrTime",  "chkNextDay",  "txtFlightTime", "txtAircraft",
                                  "txtAirline",  "txtCallsign", "txtFlightRule", "txtPax",
                                  "txtCargo",    "txtRemarks",  "txtRoute",    "cmdSave"};
    for (auto v : kVariants) {
        SCOPED_TRACE(NameOf(v));
        auto form = Make(v);
        form->show();
        QApplication::setActiveWindow(form.get());
        form->picMain->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(wt::test::OwnerName(form->focusWidget(), form.get()), "picMain");
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(form->focusWidget(), Qt::Key_Tab);
            visited << wt::test::OwnerName(form->focusWidget(), form.get());
        }
        EXPECT_EQ(visited, expected);
        form->hide();
    }
}

namespace {

struct KeyCase {
    const char* box;
    const char* keys; // see wt::test::Type for the escapes
    const char* shows;
    int beeps;
};

constexpr KeyCase kKeyCases[] = {
    // Times take digits and colons.
    {"txtDepTime", "12:30", "12:30", 0},
    {"txtDepTime", "12.30", "1230", 1},
    {"txtArrTime", "::12", "::12", 0},            // single characters are judged, not their order
    {"txtArrTime", "1a:-", "1:", 2},
    // The flight time takes a decimal sign; a comma becomes a period.
    {"txtFlightTime", "1,5", "1.5", 0},
    {"txtFlightTime", "1.2.3", "1.2.3", 0},
    {"txtFlightTime", "1:", "1", 1},
    // Numbers take digits only.
    {"txtPax", "-+ a", "", 4},
    {"txtCargo", "1.5,2", "152", 2},
    {"txtCargo", "1\xc3\xa9" "2", "12", 1},       // a character above 127
    {"txtPax", "\t", "", 0},                      // Tab moves on; it is not a character for the box
    // Enter is a character too: refused, and it never reaches Save.
    {"txtPax", "12\r", "12", 1},
    {"txtDepTime", "\r", "", 1},
    // Backspace and the keys that type nothing act as usual.
    {"txtDepTime", "12:3\b4", "12:4", 0},
    {"txtFlightTime", "9\b", "", 0},
    {"txtArrTime", "123\x01\x7f", "23", 0},
    {"txtPax", "13\x1c" "2", "123", 0},
    // The length limits: the sixth character, and the sixteenth in the cargo, is not taken.
    {"txtDepTime", "12:345", "12:34", 0},
    {"txtArrTime", "123456", "12345", 0},
    {"txtFlightTime", "1234,5", "1234.", 0},
    {"txtPax", "123456", "12345", 0},
    {"txtCargo", "1234567890123456", "123456789012345", 0},
    // The other boxes have no filter.
    {"txtFrom", "O'Hare -1 +a,.:", "O'Hare -1 +a,.:", 0},
    {"txtCallsign", "KLM 1234", "KLM 1234", 0},
};

} // namespace

TEST(EntryFormKeys, FiltersTakeOnlyTheirCharactersAndBeepForTheRest)
{
    for (auto v : kVariants) {
        for (const auto& k : kKeyCases) {
            SCOPED_TRACE(std::string(NameOf(v)) + " " + k.box + " <- '" + k.keys + "'");
            Seams seams;
            auto form = Make(v);
            auto* box = qobject_cast<QLineEdit*>(Child(form.get(), k.box));
            ASSERT_TRUE(box);
            QSignalSpy saves(form->cmdSave, &QPushButton::clicked);
            Type(box, QString::fromUtf8(k.keys));
            EXPECT_EQ(box->text(), QString::fromUtf8(k.shows));
            EXPECT_EQ(seams.beeps, k.beeps);
            EXPECT_EQ(saves.count(), 0);
        }
    }
}

TEST(EntryFormKeys, EnterInTheMultiLineBoxesStartsANewLineAndNeverSaves)
{
    for (auto v : kVariants) {
        SCOPED_TRACE(NameOf(v));
        Seams seams;
        auto form = Make(v);
        form->show();
        QSignalSpy saves(form->cmdSave, &QPushButton::clicked);
        for (auto* box : {form->txtRemarks, form->txtRoute}) {
            box->setFocus();
            Type(box, "EHAM\rEGLL");
            EXPECT_EQ(box->toPlainText(), "EHAM\nEGLL");
        }
        // Enter in a box without a filter is not a Save either.
        Type(form->txtFrom, "EHAM\r");
        Type(form->txtFlightRule, "IFR\r");
        EXPECT_EQ(form->txtFlightRule->count(), 3) << "typed text must not become an item";
        EXPECT_EQ(saves.count(), 0);
        EXPECT_EQ(seams.beeps, 0);
        form->hide();
    }
}

TEST(EntryFormKeys, MultiLineBoxesTakeAThousandCharacters)
{
    auto form = Make(LogEntryForm::Variant::NewLog);
    for (auto* box : {form->txtRemarks, form->txtRoute}) {
        Type(box, QString(1001, QLatin1Char('x')));
        EXPECT_EQ(box->toPlainText().size(), 1000);
    }
}
