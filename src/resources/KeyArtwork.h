#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QSize>

// The program's key pictures and the pointer over the keys, drawn in code:
// 102 white key up, 103 white key pressed (26 x 121), 104 black key up,
// 105 black key pressed (18 x 69), and the cursor 501.
namespace KeyArtwork {

constexpr int kWhiteUp = 102;
constexpr int kWhitePressed = 103;
constexpr int kBlackUp = 104;
constexpr int kBlackPressed = 105;
constexpr int kKeyCursor = 501;

// Size of a key picture; empty for any other number.
QSize pictureSize(int id);
// A key picture (24 bits per pixel); a null image for any other number.
// Drawn for a device pixel ratio: pictureSize() in logical pixels, sharp
// at 2x scaling.
QImage picture(int id, qreal devicePixelRatio = 1.0);
// For the screens of this run (the highest device pixel ratio among them).
QPixmap pixmap(int id);
// The device pixel ratio artwork is drawn for in this run.
qreal screenPixelRatio();
// The pointer over the on-screen keys: an arrow with a note beside it.
QCursor keyCursor();

}  // namespace KeyArtwork
