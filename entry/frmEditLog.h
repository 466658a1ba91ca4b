#pragma once
// The edit window: shows the entry whose logid is in intLogId, bound to a recordset of its
// own (rsEdit), and writes the changes on Save. Closing it, however that happens, drops
// unsaved changes, reopens rsLog on all entries and lets the owner refill its list.
#include <functional>

#include "entry/LogEntryForm.h"

class frmEditLog : public LogEntryForm {
    Q_OBJECT
public:
    // refillOwnerList runs at the end of every unload, once rsLog is open again on all
    // entries: the owner empties its list there and fills it anew.
    explicit frmEditLog(std::function<void()> refillOwnerList = {});

    static const QString kEntryGoneMessage;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void cmdSave_Click() override;

private:
    std::function<void()> refillOwnerList_;
};
