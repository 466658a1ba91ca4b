#include "overview/frmOverviewLog.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "entry/frmEditLog.h"
#include "platform/Controls.h"
#include "platform/MsgBox.h"
#include "platform/Errors.h"
#include "platform/Twips.h"
#include "resources/Resources.h"
#include "store/Logbook.h"
#include "store/Module1.h"
#include "store/ShownText.h"

using platform::px;
using platform::pxRect;

namespace {

struct Column {
    const char* header;
    int widthTwips;
};

// Column 1 is the row's own text (logid); the others are its sub-items 1 to 13. The
// flight time has no column.
constexpr Column kColumns[] = {
    {"Nr.", 900},           {"Date", 1440},     {"From", 1440},     {"Destination", 1440},
    {"Departure time", 1440}, {"Arrival Time", 1440}, {"Aircraft", 1440}, {"Airline", 1440},
    {"Callsign", 1440},     {"Flightrule", 1440}, {"Passengers", 1440}, {"Cargo", 1440},
    {"Remarks", 1440},      {"Route", 1440},
};

} // namespace

frmOverviewLog::frmOverviewLog()
{
    setObjectName(QStringLiteral("frmOverviewLog"));
    setWindowTitle(QStringLiteral("Wingtrail - Logbook overview"));
    setWindowIcon(resources::ProgramIcon());
    QWidget* c = client();

    picMain = platform::MakePictureBox(c, QStringLiteral("picMain"), resources::Banner(), 0, 0);
    picMain->setAccessibleName(QStringLiteral("Wingtrail banner"));

    Frame1 = new QGroupBox(QStringLiteral("Logbook Overview"), c);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(pxRect(0, 1320, 10575, 5655));

    lstOverview = new ListView(Frame1);
    lstOverview->setObjectName(QStringLiteral("lstOverview"));
    lstOverview->setAccessibleName(QStringLiteral("Logbook Overview"));
    lstOverview->setGeometry(pxRect(120, 360, 10335, 5055));
    for (const Column& col : kColumns)
        lstOverview->addColumn(QString::fromLatin1(col.header), col.widthTwips);
    lstOverview->ColumnClick = [this](int column) {
        platform::Guard([this, column] { lstOverview_ColumnClick(column); });
    };

    StatusBar1 = new platform::StatusBar(c);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(pxRect(0, 7515, 10590, 270));
    dockBottom(StatusBar1);

    cmdEdit = new QPushButton(QStringLiteral("Edit"), c);
    cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    cmdEdit->setGeometry(pxRect(120, 7080, 1215, 375));
    cmdDelete = new QPushButton(QStringLiteral("Delete"), c);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdDelete->setGeometry(pxRect(1440, 7080, 1215, 375));
    // Neither button is pressed by Enter or Escape.
    for (auto* b : {cmdEdit, cmdDelete}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    setTabOrder(picMain, Frame1);
    setTabOrder(Frame1, lstOverview);
    // The list's header follows its rows: the keyboard's way to a header click.
    setTabOrder(lstOverview, lstOverview->header());
    setTabOrder(lstOverview->header(), StatusBar1);
    setTabOrder(StatusBar1, cmdEdit);
    setTabOrder(cmdEdit, cmdDelete);

    setClientSizeTwips(10590, 7785);
    placeClientAtTwips(705, 780);

    platform::OnClick(cmdEdit, [this] { cmdEdit_Click(); });
    platform::OnClick(cmdDelete, [this] { cmdDelete_Click(); });
}

const QString frmOverviewLog::kCannotEditMessage = QStringLiteral(
    "The selected row \"%1\" does not show an entry number, so there is no entry to edit.");
const QString frmOverviewLog::kCannotDeleteMessage = QStringLiteral(
    "The selected row \"%1\" does not show an entry number, so nothing was deleted.");

std::optional<std::int64_t> frmOverviewLog::selectedLogId(const QString& cannotMessage)
{
    // With no row selected there is no entry to hand over: the click does nothing.
    const std::optional<QString> selected = lstOverview->selectedText();
    if (!selected)
        return std::nullopt;
    // The statement names the entry by its number alone; any other text appended to it
    // could select other entries, or none.
    const std::optional<std::int64_t> logid = logbook::ParseLogId(selected->toStdString());
    if (!logid)
        platform::MsgBox(cannotMessage.arg(*selected), platform::vbOKOnly + platform::vbExclamation);
    return logid;
}

void frmOverviewLog::cmdEdit_Click()
{
    const std::optional<std::int64_t> logid = selectedLogId(kCannotEditMessage);
    if (!logid)
        return;
    Module1::intLogId = *logid;
    frmEditLog edit([this] {
        // The edit window has reopened rsLog on all entries; the buttons and the sort
        // state stay as they are.
        lstOverview->clear();
        FillOverviewList();
    });
    edit.showModal(this);
}

void frmOverviewLog::cmdDelete_Click()
{
    using namespace Module1;
    const std::optional<std::int64_t> logid = selectedLogId(kCannotDeleteMessage);
    if (!logid)
        return;
    if (platform::MsgBox(QStringLiteral("Delete record?"), platform::vbYesNo + platform::vbQuestion) != platform::vbYes)
        return;
    rsLog->Close();
    rsLog->Open(logbook::SelectById(*logid), *conLog, store::adOpenDynamic, store::adLockPessimistic);
    if (rsLog->Eof()) {
        // Another program removed it since the list was filled: nothing to delete here,
        // and the refill below shows the logbook as it now is.
        platform::MsgBox(frmEditLog::kEntryGoneMessage, platform::vbOKOnly + platform::vbExclamation);
    } else {
        rsLog->Delete(store::adAffectCurrent);
    }
    rsLog->Close();
    rsLog->Open(logbook::kSelectAll, *conLog);
    lstOverview->clear();
    if (!FillOverviewList()) {
        cmdEdit->setEnabled(false);
        cmdDelete->setEnabled(false);
    }
}

void frmOverviewLog::Form_Load()
{
    using namespace Module1;
    conLog->Open();
    rsLog->Open(logbook::kSelectAll, *conLog, store::adOpenUnspecified, store::adLockUnspecified);
    if (!FillOverviewList()) {
        cmdEdit->setEnabled(false);
        cmdDelete->setEnabled(false);
    }
}

bool frmOverviewLog::FillOverviewList()
{
    store::Recordset& rs = *Module1::rsLog;
    if (rs.Eof())
        return false;

    // Every field is found by its name once, for all records of this fill.
    const int logid = rs.fieldIndex("logid");
    const int date = rs.fieldIndex("Date");
    struct Plain {
        int k;
        int field;
    };
    const Plain before[] = {{2, rs.fieldIndex("departure")}, {3, rs.fieldIndex("destination")},
                            {4, rs.fieldIndex("timeDeparture")}};
    const int timeArrival = rs.fieldIndex("timeArrival");
    const int nextday = rs.fieldIndex("nextday");
    const Plain between[] = {{6, rs.fieldIndex("aircraft")}, {7, rs.fieldIndex("airline")},
                             {8, rs.fieldIndex("callsign")}, {9, rs.fieldIndex("flightrule")},
                             {10, rs.fieldIndex("pax")}};
    const int cargo = rs.fieldIndex("cargo");
    const Plain after[] = {{12, rs.fieldIndex("remarks")}, {13, rs.fieldIndex("route")}};

    std::string marked;
    bool appended = false;
    while (!rs.Eof()) {
        appended = true;
        // Text straight from the record: nothing is copied before the list keeps it.
        const int row = lstOverview->addItem(rs.fieldText(logid).value_or(std::string_view()));

        // Every entry the windows file carries a date, so the date needs no Null
        // treatment of its own; one that another program left Null shows as an empty
        // cell instead of ending the fill.
        if (const auto v = rs.fieldText(date)) {
            char buf[10];
            lstOverview->setSubItem(row, 1, logbook::DayMonthYear(*v, buf));
        }
        auto plain = [&](const Plain& p) {
            if (const auto v = rs.fieldText(p.field))
                lstOverview->setSubItem(row, p.k, *v);
        };
        for (const Plain& p : before)
            plain(p);
        if (const auto v = rs.fieldText(timeArrival)) {
            if (rs.fieldIsTrue(nextday)) {
                marked.assign(*v).append(logbook::kNextDayMark);
                lstOverview->setSubItem(row, 5, marked);
            } else {
                lstOverview->setSubItem(row, 5, *v);
            }
        }
        for (const Plain& p : between)
            plain(p);
        if (const auto v = rs.fieldText(cargo)) {
            marked.assign(*v).append(logbook::kCargoUnit);
            lstOverview->setSubItem(row, 11, marked);
        }
        for (const Plain& p : after)
            plain(p);
        rs.MoveNext();
    }
    return appended;
}

void frmOverviewLog::lstOverview_ColumnClick(int column)
{
    if (!lstOverview->Sorted()) {
        lstOverview->setSortOrder(1);
        lstOverview->setSortKey(column - 1);
        lstOverview->setSorted(true);
    } else {
        lstOverview->setSortOrder(0);
        lstOverview->setSortKey(column - 1);
        lstOverview->setSorted(false);
    }
}

void frmOverviewLog::Form_Resize()
{
    if (!keepMinimumOuterSize(kMinWidth, kMinHeight))
        return;
    // Only the widths follow the window; heights and the buttons keep their places.
    const float frameWidth = static_cast<float>(clientWidthTwips()) - 1.0f;
    Frame1->resize(px(frameWidth), Frame1->height());
    const float listWidth = static_cast<float>(platform::twips(Frame1->width())) - 240.0f;
    lstOverview->resize(px(listWidth), lstOverview->height());
}

void frmOverviewLog::Form_Unload()
{
    Module1::rsLog->Close();
    Module1::conLog->Close();
}
