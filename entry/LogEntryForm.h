#pragma once
// The log entry form that the new-entry and the edit window share: banner, a frame with
// the fifteen entry controls and their labels, Save and a status bar; the binding of the
// entry controls to a recordset; the key filters of the time and number boxes. Both
// windows are built by this one class, which takes the few points in which they differ
// from the variant it is given.
#include <memory>

#include "platform/Form.h"
#include "store/Recordset.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace platform {
class DatePicker;
class MultiLineTextBox;
class StatusBar;
class TextBox;
} // namespace platform

class LogEntryForm : public platform::Form {
    Q_OBJECT
public:
    enum class Variant { NewLog, EditLog };

    QLabel* picMain;
    QGroupBox* Frame1;
    QPushButton* cmdSave;
    platform::StatusBar* StatusBar1;

    QLabel* lblDate;
    platform::DatePicker* txtDate;
    QLabel* lblFrom;
    platform::TextBox* txtFrom;
    QLabel* lblTo;
    platform::TextBox* txtTo;
    QLabel* lblDepTime;
    platform::TextBox* txtDepTime;
    QLabel* lblDepTimeZ;
    QLabel* lblArrTime;
    platform::TextBox* txtArrTime;
    QLabel* lblArrTimeZ;
    QCheckBox* chkNextDay;
    QLabel* lblFlightime;
    platform::TextBox* txtFlightTime;
    QLabel* lblAircraft;
    platform::TextBox* txtAircraft;
    QLabel* lblAirline;
    platform::TextBox* txtAirline;
    QLabel* lblCallsign;
    platform::TextBox* txtCallsign;
    QLabel* lblFlightRule;
    QComboBox* txtFlightRule;
    QLabel* lblPax;
    platform::TextBox* txtPax;
    QLabel* lblCargo;
    platform::TextBox* txtCargo;
    QLabel* lblLbs;
    QLabel* lblRemarks;
    platform::MultiLineTextBox* txtRemarks;
    QLabel* lblRoute;
    platform::MultiLineTextBox* txtRoute;

protected:
    explicit LogEntryForm(Variant variant);

    // Binds the fifteen entry controls to the recordset, which must be open and standing
    // on the record to show.
    void BindControls(const std::shared_ptr<store::Recordset>& recordset);

    virtual void cmdSave_Click() = 0;

    void txtDepTime_KeyPress(int& KeyAscii);
    void txtArrTime_KeyPress(int& KeyAscii);
    void txtFlightTime_KeyPress(int& KeyAscii);
    void txtPax_KeyPress(int& KeyAscii);
    void txtCargo_KeyPress(int& KeyAscii);
};
