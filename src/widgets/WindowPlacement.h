#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

// Where windows open: always inside the available geometry of a screen (the
// desktop without panels and docks), so that no part of a window, its title
// bar included, lies off the screen. Positions are those of the window's
// frame, as QWidget::move() takes them.
namespace WindowPlacement {

// The top-left corner for `frame` moved as little as possible to lie inside
// `available`; a frame larger than the area keeps the area's top-left corner
// (the title bar and the first controls stay reachable).
QPoint fitInside(const QRect &frame, const QRect &available);

// The available geometry of the screen holding `point`; the window's own
// screen (or the primary one) when no screen holds it.
QRect availableAt(const QPoint &point, const QWidget *window = nullptr);

// The frame a window has or will have around its client area. Before the
// window was first shown the frame is not known: then that of `like` (a
// window already on screen), else a title bar's worth of guess.
QMargins frameMarginsOf(const QWidget *window, const QWidget *like = nullptr);

// Moves `window` as near to `wanted` (frame top-left) as the screen allows.
void place(QWidget *window, const QPoint &wanted, const QWidget *like = nullptr);

// Puts a hidden window back where its frame was before it hid (its frame
// is not known while it is hidden), inside the screen that has that place.
void restore(QWidget *window, const QRect &frame);

// Places `window` below `above` (a window on screen), `gap` pixels apart.
// Where the screen has too little room there, the window is made shorter,
// down to its minimum height, rather than cover `above`.
void placeBelow(QWidget *window, const QWidget *above, int gap);

// Centres `window` on `area` (another window's frame, a screen), within
// the screen at the area's centre.
void centreOn(QWidget *window, const QRect &area, const QWidget *like = nullptr);

}  // namespace WindowPlacement
