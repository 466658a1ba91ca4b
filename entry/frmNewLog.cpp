#include "entry/frmNewLog.h"

frmNewLog::frmNewLog() { setWindowTitle(QStringLiteral("Wingtrail - New Log File")); }
