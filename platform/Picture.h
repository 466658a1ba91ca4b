#pragma once
#include <QPixmap>
#include <QString>

namespace platform {

// Loads a picture file, recognising its format from the content, not the name.
// A missing file raises run-time error 53, a file that holds no picture error 481.
QPixmap LoadPicture(const QString& path);

} // namespace platform
