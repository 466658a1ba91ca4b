#pragma once
// The overview window: every logbook entry as one row of the list, sortable by any
// column, with the Edit and Delete commands for the selected entry.
#include "platform/Form.h"
#include "overview/ListView.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace platform {
class StatusBar;
}

class frmOverviewLog : public platform::Form {
    Q_OBJECT
public:
    frmOverviewLog();

    QLabel* picMain = nullptr;
    QGroupBox* Frame1 = nullptr;
    ListView* lstOverview = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    platform::StatusBar* StatusBar1 = nullptr;

    // Appends one row per entry of rsLog, reading it to its end.
    bool FillOverviewList();
    void lstOverview_ColumnClick(int column);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize() override;
};
