#pragma once
// Positions and sizes in the program are written in twips: 1440 to the inch, 15 to the
// logical pixel. This is the one place that converts; Qt scales logical pixels on
// high-DPI screens by itself.
#include <QRect>
#include <cmath>

namespace platform {

inline constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips)
{
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
inline int px(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
constexpr int twips(int pixels) { return pixels * kTwipsPerPixel; }

inline QRect pxRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace platform
