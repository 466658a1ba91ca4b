#include "platform/App.h"

#include <QApplication>
#include <QStyleFactory>

namespace platform::App {

namespace {
QString& overridePath()
{
    static QString path;
    return path;
}
} // namespace

QString Path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

void setPath(const QString& folder) { overridePath() = folder; }

QString Title()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Wingtrail") : name;
}

void UseDesignedStyle()
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
}

int Major() { return WT_VERSION_MAJOR; }
int Minor() { return WT_VERSION_MINOR; }
int Revision() { return WT_VERSION_REVISION; }

} // namespace platform::App
