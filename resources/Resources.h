#pragma once
#include <QIcon>
#include <QPixmap>

namespace resources {

// Makes the built-in pictures available; call once before the first window.
void Init();
// The 32 x 32 icon, with a 64 x 64 drawing of it that high-density screens pick.
QIcon ProgramIcon();
// The 1358 x 73 banner for the screens the program runs on: on a screen of scale above 1
// the 2x drawing, with that ratio set, so that it covers the same 1358 x 73 logical pixels.
QPixmap Banner();
QPixmap Banner(qreal devicePixelRatio);

} // namespace resources
