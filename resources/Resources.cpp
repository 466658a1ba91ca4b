#include "resources/Resources.h"

#include <QGuiApplication>

static void initResource() { Q_INIT_RESOURCE(wingtrail); }

namespace resources {

void Init() { initResource(); }

QIcon ProgramIcon()
{
    QIcon icon(QStringLiteral(":/wingtrail/icon.bmp"));
    icon.addFile(QStringLiteral(":/wingtrail/icon@2x.png"));
    return icon;
}

QPixmap Banner() { return Banner(qApp ? qApp->devicePixelRatio() : 1.0); }

QPixmap Banner(qreal devicePixelRatio)
{
    // Scale 1 shows the stored bitmap pixel for pixel; any higher scale gets the sharper
    // drawing, brought down by Qt where the scale is between 1 and 2.
    if (devicePixelRatio <= 1.0)
        return QPixmap(QStringLiteral(":/wingtrail/banner.bmp"));
    QPixmap sharp(QStringLiteral(":/wingtrail/banner@2x.png"));
    sharp.setDevicePixelRatio(2.0);
    return sharp;
}

} // namespace resources
