#include "overview/frmOverviewLog.h"

frmOverviewLog::frmOverviewLog() { setWindowTitle(QStringLiteral("Wingtrail - Logbook overview")); }
