#include "platform/Picture.h"

#include <QFileInfo>
#include <QImageReader>

#include "platform/Errors.h"

namespace platform {

QPixmap LoadPicture(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(store::err::FileNotFound, "File not found: '" + path.toStdString() + "'.");
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(store::err::InvalidPicture,
                           "Invalid picture: '" + path.toStdString() + "' (" + reader.errorString().toStdString()
                               + ").");
    return QPixmap::fromImage(image);
}

} // namespace platform
