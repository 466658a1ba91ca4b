#pragma once
// Binding a control to a field of a recordset. A bound control shows the current
// record's value of its field and follows every change of the current record; what the
// user enters goes into the record, stored by the next Update and dropped by
// CancelUpdate. The binding ends when the recordset closes.
//
// Bound values: a text box's or combo box's text (an empty box is Null), a check box's
// state (ticked is true), a date picker's date (ISO text, YYYY-MM-DD). A check box or a
// date picker whose field is Null shows unticked or today's date and puts that into the
// record, so that what the user sees is what a Save stores.
#include <QWidget>
#include <memory>
#include <string>

#include "store/Recordset.h"

namespace platform {

// First the data source, then the data field, as the classic controls took them.
void Bind(QWidget* control, const std::shared_ptr<store::Recordset>& dataSource,
          const std::string& dataField);

} // namespace platform
