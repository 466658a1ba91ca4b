#include "resources/Resources.h"

static void initResource() { Q_INIT_RESOURCE(wingtrail); }

namespace resources {

void Init() { initResource(); }

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/wingtrail/icon.bmp")); }

QPixmap Banner()
{
    return QPixmap(QStringLiteral(":/wingtrail/banner.bmp"));
}

} // namespace resources
