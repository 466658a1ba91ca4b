#include "entry/frmEditLog.h"

#include "platform/MsgBox.h"
#include "store/Logbook.h"
#include "store/Module1.h"

using namespace Module1;

const QString frmEditLog::kEntryGoneMessage = QStringLiteral(
    "This entry is no longer in the logbook. It may have been deleted by another program.");

frmEditLog::frmEditLog(std::function<void()> refillOwnerList)
    : LogEntryForm(Variant::EditLog), refillOwnerList_(std::move(refillOwnerList))
{
}

void frmEditLog::Form_Load()
{
    rsEdit = std::make_shared<store::Recordset>();
    rsEdit->Open(logbook::SelectById(intLogId), *conLog, store::adOpenStatic, store::adLockPessimistic);
    if (rsEdit->Eof()) {
        // Another program removed the entry after the list was filled. There is nothing to
        // show or to save; closing refreshes the owner's list, which then lacks it too.
        platform::MsgBox(kEntryGoneMessage, platform::vbOKOnly + platform::vbExclamation);
        Unload();
        return;
    }
    BindControls(rsEdit);
}

void frmEditLog::cmdSave_Click()
{
    rsEdit->Update();
    if (platform::MsgBox(QStringLiteral("Your changes are saved\r\nExit?"), platform::vbYesNo + platform::vbQuestion)
        == platform::vbYes)
        Unload();
}

void frmEditLog::Form_Unload()
{
    // Changes since the last Save are dropped: only Save writes.
    rsEdit->CancelUpdate();
    rsEdit->Close();
    rsLog->Close();
    rsLog->Open(logbook::kSelectAll, *conLog);
    if (refillOwnerList_)
        refillOwnerList_();
}
