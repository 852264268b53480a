#pragma once

#include <QImage>
#include <QPixmap>

// The recorder's button pictures, drawn in code, 25 x 25, 24 bits per pixel:
// 107 play (a triangle in a circle) and 108 pressed (a smaller triangle),
// 109 stop (a square in a circle) and 110 pressed, 111 record (a disc in a
// circle) and 112 pressed. A null image for any other number.
namespace RecorderArtwork {

constexpr int kSize = 25;

// Drawn for a device pixel ratio (kSize logical pixels, sharp at 2x).
QImage picture(int id, qreal devicePixelRatio = 1.0);
// For the screens of this run.
QPixmap pixmap(int id);

}  // namespace RecorderArtwork
