#pragma once
#include <QIcon>
#include <QPixmap>

namespace resources {

// Makes the built-in pictures available; call once before the first window.
void Init();
QIcon ProgramIcon();
QPixmap Banner();

} // namespace resources
