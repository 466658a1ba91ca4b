#pragma once
// The new-entry window: files new log entries through rsLog, one per Save.
#include "entry/LogEntryForm.h"

class frmNewLog : public LogEntryForm {
    Q_OBJECT
public:
    frmNewLog();

    // The smallest outer size the window keeps, in twips.
    static constexpr int kMinWidth = 10710;
    static constexpr int kMinHeight = 8190;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize() override;
    void cmdSave_Click() override;
};
