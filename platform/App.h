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

// The windows are laid out in fixed twips for the metrics of Qt's Fusion style: its boxes
// fit a text box's 315 twips with room for descenders, and it draws the date picker's and
// the combo's frames there. A desktop's own style (adwaita-qt, Breeze) wants 30 pixels or
// more for a box and cuts the text or drops the frames, so the program always uses Fusion;
// the desktop's palette (dark or light) and fonts still apply.
void UseDesignedStyle();

int Major();
int Minor();
int Revision();

} // namespace platform::App
