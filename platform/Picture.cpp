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
    // Opening a named pipe waits for a writer, a device may never end: only a regular
    // file (or a link to one) is opened at all.
    if (!info.isFile())
        throw RuntimeError(store::err::PathFileAccess, "Path/File access error: '" + path.toStdString()
                                                           + "' is not a regular file but "
                                                           + (info.isDir() ? "a folder" : "a named pipe, device or socket")
                                                           + ".");
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // A picture's size is in its header. One whose pixels would not fit the reader's
    // allocation limit once shown (four bytes a pixel) is refused by its size, before any
    // of it is decoded; the reader's own refusal would only say it could not read it.
    const QSize size = reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (size.isValid() && limit > 0 && qint64(size.width()) * size.height() * 4 > limit)
        throw RuntimeError(store::err::InvalidPicture,
                           "Invalid picture: '" + path.toStdString() + "' is " + std::to_string(size.width())
                               + " x " + std::to_string(size.height()) + " pixels, more than the "
                               + std::to_string(QImageReader::allocationLimit()) + " MB a picture may take.");
    const QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(store::err::InvalidPicture,
                           "Invalid picture: '" + path.toStdString() + "' (" + reader.errorString().toStdString()
                               + ").");
    return QPixmap::fromImage(image);
}

} // namespace platform
