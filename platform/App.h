#pragma once
// The application object: the program's folder, its title and its version.
#include <QString>

namespace platform::App {

// The folder of the executable, without a trailing separator.
QString Path();
// Tests point the program at a folder of their own.
void setPath(const QString& folder);

// The title that stands in the title bar of a message box without a title of its own.
QString Title();

int Major();
int Minor();
int Revision();

} // namespace platform::App
