#pragma once
// The overview window: every logbook entry as one row of the list, sortable by any
// column, with the Edit and Delete commands for the selected entry.
#include <cstdint>
#include <optional>

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

    QLabel* picMain;
    QGroupBox* Frame1;
    ListView* lstOverview;
    platform::StatusBar* StatusBar1;
    QPushButton* cmdEdit;
    QPushButton* cmdDelete;

    // The smallest outer size the window keeps, in twips.
    static constexpr int kMinWidth = 10710;
    static constexpr int kMinHeight = 8190;

    // Appends one row for each record of rsLog from the current one to the end, leaving
    // rsLog at its end; true when it appended at least one. The list is neither cleared,
    // selected, scrolled nor sorted here: each caller clears it where it needs to.
    bool FillOverviewList();
    // A header click: the first of two clicks sorts descending by that column and keeps
    // the list sorted, the next sorts ascending once and stops keeping it sorted.
    void lstOverview_ColumnClick(int column);

    // Opens the selected entry in the edit window; the list is refilled when it closes.
    void cmdEdit_Click();
    // Deletes the selected entry after the user confirms, then refills the list.
    void cmdDelete_Click();

    // A selected row whose text is not an entry number; %1: the row's text.
    static const QString kCannotEditMessage;
    static const QString kCannotDeleteMessage;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize() override;

private:
    // The logid of the selected row, or nullopt when none is selected or, told to the
    // user with cannotMessage, when its text is not an entry number.
    std::optional<std::int64_t> selectedLogId(const QString& cannotMessage);
};
