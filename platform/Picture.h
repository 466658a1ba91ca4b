#pragma once
#include <QPixmap>
#include <QString>

namespace platform {

// Loads a picture file, recognising its format from the content, not the name.
// A missing file raises run-time error 53; anything but a regular file (a folder, a named
// pipe, a device) error 75 without being opened; a file that holds no picture, or one too
// large to show, error 481.
QPixmap LoadPicture(const QString& path);

} // namespace platform
