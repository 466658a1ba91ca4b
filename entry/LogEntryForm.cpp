#include "entry/LogEntryForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "platform/Binding.h"
#include "platform/Controls.h"
#include "platform/MsgBox.h"
#include "platform/Twips.h"
#include "resources/Resources.h"

using platform::pxRect;

namespace {

constexpr int kBackspace = 8;
constexpr int kComma = 44;
constexpr int kPeriod = 46;
constexpr int kColon = 58;

bool isDigit(int code) { return code >= '0' && code <= '9'; }

// Lets a digit, Backspace or the box's own extra character (0 for none) through;
// anything else is discarded with a beep.
void acceptDigitsAnd(int extra, int& KeyAscii)
{
    if (isDigit(KeyAscii) || KeyAscii == kBackspace || (extra != 0 && KeyAscii == extra))
        return;
    KeyAscii = 0;
    platform::Beep();
}

void timeKeyFilter(int& KeyAscii) { acceptDigitsAnd(kColon, KeyAscii); }

void decimalKeyFilter(int& KeyAscii)
{
    // Either decimal sign may be typed; the box always holds a period.
    if (KeyAscii == kComma)
        KeyAscii = kPeriod;
    acceptDigitsAnd(kPeriod, KeyAscii);
}

void digitKeyFilter(int& KeyAscii) { acceptDigitsAnd(0, KeyAscii); }

// The label is the box's buddy and gives it the name a screen reader speaks.
void nameAfter(QLabel* label, QWidget* control)
{
    label->setBuddy(control);
    if (auto* combo = qobject_cast<platform::ComboBox*>(control))
        combo->setAccessibleNames(label->text());
    else
        control->setAccessibleName(label->text());
}

template <class Control>
Control* place(Control* control, const char* name, int left, int top, int width, int height)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(pxRect(left, top, width, height));
    return control;
}

platform::TextBox* textBox(QWidget* parent, const char* name, int left, int top, int limit)
{
    auto* box = place(new platform::TextBox(parent), name, left, top, 1815, 315);
    box->setMaxLengthLimit(limit);
    return box;
}

platform::MultiLineTextBox* multiLineBox(QWidget* parent, const char* name, int top)
{
    auto* box = place(new platform::MultiLineTextBox(parent), name, 2160, top, 6375, 1035);
    box->setMaxLengthLimit(1000);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const char* caption, int left, int top, int width)
{
    return platform::MakeLabel(parent, QString::fromLatin1(name), QString::fromUtf8(caption), left, top, width, 255);
}

} // namespace

LogEntryForm::LogEntryForm(Variant variant)
{
    const bool isNew = variant == Variant::NewLog;
    setObjectName(isNew ? QStringLiteral("frmNewLog") : QStringLiteral("frmEditLog"));
    setWindowTitle(isNew ? QStringLiteral("Wingtrail - New Log File") : QStringLiteral("Wingtrail - Edit Logbook"));
    setWindowIcon(resources::ProgramIcon());

    QWidget* c = client();
    picMain = platform::MakePictureBox(c, QStringLiteral("picMain"), resources::Banner(), 0, 0);
    picMain->setAccessibleName(QStringLiteral("Wingtrail banner"));

    Frame1 = new QGroupBox(isNew ? QStringLiteral("New Log File") : QStringLiteral("Edit Logbook"), c);
    place(Frame1, "Frame1", 0, 1320, 10575, isNew ? 5415 : 5175);
    QWidget* f = Frame1;

    // Row by row, as the frame shows them.
    lblDate = label(f, "lblDate", "Date", 240, 360, 1815);
    txtDate = place(new platform::DatePicker(f), "txtDate", 2160, 240, 1815, 315);

    lblFrom = label(f, "lblFrom", "From", 240, 720, 1815);
    txtFrom = textBox(f, "txtFrom", 2160, 600, 100);
    lblTo = label(f, "lblTo", "Destination", 5160, 720, 1455);
    txtTo = textBox(f, "txtTo", 6720, 600, 100);

    lblDepTime = label(f, "lblDepTime", "Departure time", 240, 1080, 1815);
    txtDepTime = textBox(f, "txtDepTime", 2160, 960, 5);
    lblDepTimeZ = label(f, "lblDepTimeZ", "Zulu", 4080, 1080, 735);
    lblArrTime = label(f, "lblArrTime", "Arrival time", 5160, 1080, 1455);
    txtArrTime = textBox(f, "txtArrTime", 6720, 960, 5);
    lblArrTimeZ = label(f, "lblArrTimeZ", "Zulu", 8640, 1080, 735);
    chkNextDay = place(new QCheckBox(QStringLiteral("+1"), f), "chkNextDay", 9240, 1020, 615, 255);
    chkNextDay->setChecked(false);

    lblFlightime = label(f, "lblFlightime", "Flighttime", 240, 1440, 1815);
    txtFlightTime = textBox(f, "txtFlightTime", 2160, 1320, 5);

    lblAircraft = label(f, "lblAircraft", "Aircraft", 240, 1800, 1815);
    txtAircraft = textBox(f, "txtAircraft", 2160, 1680, 100);
    lblAirline = label(f, "lblAirline", "Airline", 5160, 1800, 1455);
    txtAirline = textBox(f, "txtAirline", 6720, 1680, isNew ? 0 : 100);

    lblCallsign = label(f, "lblCallsign", "Callsign", 240, 2160, 1815);
    txtCallsign = textBox(f, "txtCallsign", 2160, 2040, isNew ? 0 : 10);
    lblFlightRule = label(f, "lblFlightRule", "Flightrule", 5160, 2160, 1455);
    txtFlightRule = place(new platform::ComboBox(f), "txtFlightRule", 6720, 2040, 1815, 315);
    txtFlightRule->setEditable(true);
    // The items are suggestions only: typed text is kept as typed, never completed to an
    // item and never added to the list.
    txtFlightRule->setInsertPolicy(QComboBox::NoInsert);
    txtFlightRule->setCompleter(nullptr);
    for (const char* rule : {"IFR", "VFR", "SVFR"})
        txtFlightRule->addItem(QString::fromLatin1(rule), 0);
    txtFlightRule->setEditText(QStringLiteral("txtFlightRule"));

    lblPax = label(f, "lblPax", "Passengers", 240, 2520, 1815);
    txtPax = textBox(f, "txtPax", 2160, 2400, 5);
    lblCargo = label(f, "lblCargo", "Cargo", 5160, 2520, 1455);
    txtCargo = textBox(f, "txtCargo", 6720, 2400, 15);
    lblLbs = label(f, "lblLbs", "lbs", 8640, 2520, 735);

    lblRemarks = label(f, "lblRemarks", "Remarks", 240, 3000, 1815);
    txtRemarks = multiLineBox(f, "txtRemarks", 2880);
    lblRoute = label(f, "lblRoute", "Route", 240, 4080, 1815);
    txtRoute = multiLineBox(f, "txtRoute", 3960);

    nameAfter(lblDate, txtDate);
    nameAfter(lblFrom, txtFrom);
    nameAfter(lblTo, txtTo);
    nameAfter(lblDepTime, txtDepTime);
    nameAfter(lblArrTime, txtArrTime);
    nameAfter(lblFlightime, txtFlightTime);
    nameAfter(lblAircraft, txtAircraft);
    nameAfter(lblAirline, txtAirline);
    nameAfter(lblCallsign, txtCallsign);
    nameAfter(lblFlightRule, txtFlightRule);
    nameAfter(lblPax, txtPax);
    nameAfter(lblCargo, txtCargo);
    nameAfter(lblRemarks, txtRemarks);
    nameAfter(lblRoute, txtRoute);
    // The units stand beside the boxes; a screen reader hears them as a description.
    txtDepTime->setAccessibleDescription(QStringLiteral("Zulu"));
    txtArrTime->setAccessibleDescription(QStringLiteral("Zulu"));
    chkNextDay->setAccessibleDescription(QStringLiteral("Arrival on the next day"));
    txtCargo->setAccessibleDescription(QStringLiteral("lbs"));

    cmdSave = place(new QPushButton(QStringLiteral("Save"), c), "cmdSave", 120, isNew ? 6960 : 6840,
                    isNew ? 1095 : 1335, isNew ? 375 : 495);
    // Enter in a box must never file the entry: Save is pressed by the mouse or Space only.
    cmdSave->setAutoDefault(false);
    cmdSave->setDefault(false);

    StatusBar1 = new platform::StatusBar(c);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(pxRect(0, 7515, 10590, 270));
    dockBottom(StatusBar1);

    QWidget* tabOrder[] = {picMain, txtDate, txtFrom, txtTo, txtDepTime, txtArrTime, chkNextDay,
                           txtFlightTime, txtAircraft, txtAirline, txtCallsign, txtFlightRule,
                           txtPax, txtCargo, txtRemarks, txtRoute, cmdSave};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    setClientSizeTwips(10590, 7785);

    txtDepTime->KeyPress = [this](int& k) { txtDepTime_KeyPress(k); };
    txtArrTime->KeyPress = [this](int& k) { txtArrTime_KeyPress(k); };
    txtFlightTime->KeyPress = [this](int& k) { txtFlightTime_KeyPress(k); };
    txtPax->KeyPress = [this](int& k) { txtPax_KeyPress(k); };
    txtCargo->KeyPress = [this](int& k) { txtCargo_KeyPress(k); };
    platform::OnClick(cmdSave, [this] { cmdSave_Click(); });
}

void LogEntryForm::BindControls(const std::shared_ptr<store::Recordset>& recordset)
{
    platform::Bind(txtDate, recordset, "date");
    platform::Bind(txtFrom, recordset, "departure");
    platform::Bind(txtDepTime, recordset, "timeDeparture");
    platform::Bind(txtTo, recordset, "destination");
    platform::Bind(txtArrTime, recordset, "timeArrival");
    platform::Bind(chkNextDay, recordset, "nextday");
    platform::Bind(txtFlightTime, recordset, "flighttime");
    platform::Bind(txtAircraft, recordset, "aircraft");
    platform::Bind(txtAirline, recordset, "airline");
    platform::Bind(txtCallsign, recordset, "callsign");
    platform::Bind(txtFlightRule, recordset, "flightrule");
    platform::Bind(txtPax, recordset, "pax");
    platform::Bind(txtCargo, recordset, "cargo");
    platform::Bind(txtRemarks, recordset, "remarks");
    platform::Bind(txtRoute, recordset, "route");
}

void LogEntryForm::txtDepTime_KeyPress(int& KeyAscii) { timeKeyFilter(KeyAscii); }
void LogEntryForm::txtArrTime_KeyPress(int& KeyAscii) { timeKeyFilter(KeyAscii); }
void LogEntryForm::txtFlightTime_KeyPress(int& KeyAscii) { decimalKeyFilter(KeyAscii); }
void LogEntryForm::txtPax_KeyPress(int& KeyAscii) { digitKeyFilter(KeyAscii); }
void LogEntryForm::txtCargo_KeyPress(int& KeyAscii) { digitKeyFilter(KeyAscii); }
