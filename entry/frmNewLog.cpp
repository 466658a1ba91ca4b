#include "entry/frmNewLog.h"

#include <QGroupBox>

#include "platform/MsgBox.h"
#include "store/Logbook.h"
#include "store/Module1.h"

using namespace Module1;

frmNewLog::frmNewLog() : LogEntryForm(Variant::NewLog)
{
    placeClientAtTwips(480, 555);
}

void frmNewLog::Form_Load()
{
    conLog->Open();
    rsLog->Open(logbook::kSelectAll, *conLog, store::adOpenStatic, store::adLockOptimistic);
    rsLog->AddNew();
    BindControls(rsLog);
}

void frmNewLog::cmdSave_Click()
{
    rsLog->Update();
    if (platform::MsgBox(QStringLiteral("Log File save\r\nFile another log?"), platform::vbYesNo + platform::vbQuestion)
        == platform::vbYes)
        rsLog->AddNew();
    else
        Unload();
}

void frmNewLog::Form_Unload()
{
    // Whatever was typed since the last Save is dropped: only Save files an entry.
    rsLog->CancelUpdate();
    rsLog->Close();
    conLog->Close();
}

void frmNewLog::Form_Resize()
{
    if (!keepMinimumOuterSize(kMinWidth, kMinHeight))
        return;
    // The frame ends one pixel short of the right edge; its contents keep their places.
    Frame1->resize(client()->width() - 1, Frame1->height());
}
