#pragma once
// Binding a control to a field of a recordset. A bound control shows the current
// record's value of its field and follows every change of the current record; what the
// user enters goes into the record, stored by the next Update and dropped by
// CancelUpdate. The binding ends when the recordset closes.
//
// Bound values: a text box's or combo box's text (an empty box is Null), a check box's
// state (ticked is true), a date picker's date (ISO text, YYYY-MM-DD). Only what the user
// changes goes into the record: a control left alone writes nothing back, so a value it
// cannot show (a Null yes/no field, a date that is Null or not a YYYY-MM-DD date) stays as
// stored. Such a check box shows unticked and such a date picker today's date. On a new
// record, which holds nothing yet, they put what they show into the record, so that a Save
// stores what the user saw.
#include <QWidget>
#include <memory>
#include <string>

#include "store/Recordset.h"
#include "store/RuntimeError.h"

namespace platform {

// First the data source, then the data field, as the classic controls took them.
void Bind(QWidget* control, const std::shared_ptr<store::Recordset>& dataSource,
          const std::string& dataField);

// Tells the user that the logbook refused a value of the record shown in `window`: the box
// by its label (the control bound to the refused field) and the value, why, and that
// nothing was stored while everything entered is still there, to be corrected and stored
// again with `retry` (the button's caption). The focus goes to that box.
void ReportRefusedValue(QWidget* window, const store::ValueRefused& refused, const QString& retry);

} // namespace platform
