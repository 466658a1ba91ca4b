#include "overview/frmOverviewLog.h"

frmOverviewLog::frmOverviewLog() {
    setWindowTitle(QStringLiteral("Wingtrail - Logbook overview"));
    lstOverview = new ListView(client());
}
bool frmOverviewLog::FillOverviewList() { return true; }
void frmOverviewLog::lstOverview_ColumnClick(int) {}
void frmOverviewLog::Form_Load() {}
void frmOverviewLog::Form_Unload() {}
void frmOverviewLog::Form_Resize() {}
