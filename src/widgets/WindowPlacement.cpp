#include "widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

namespace {

// A title bar and thin borders: the frame of a window manager we have not
// seen yet. Guessing too large only keeps a window a little further from
// the screen's edge.
const QMargins kGuessedFrame(4, 32, 4, 8);

QMargins knownMargins(const QWidget *w)
{
    if (!w || !w->testAttribute(Qt::WA_WState_Created))
        return QMargins();
    const QRect inner = w->geometry();
    const QRect outer = w->frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

int fitAxis(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return qBound(areaStart, start, areaStart + areaLength - length);
}

}  // namespace

QPoint fitInside(const QRect &frame, const QRect &available)
{
    if (available.isEmpty())
        return frame.topLeft();
    return QPoint(fitAxis(frame.left(), frame.width(), available.left(), available.width()),
                  fitAxis(frame.top(), frame.height(), available.top(), available.height()));
}

QRect availableAt(const QPoint &point, const QWidget *window)
{
    QScreen *screen = QGuiApplication::screenAt(point);
    if (!screen && window)
        screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins frameMarginsOf(const QWidget *window, const QWidget *like)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    const QMargins own = knownMargins(window);
    if (!own.isNull())
        return own;
    // A window on screen with no frame at all: no window manager draws one.
    if (window->testAttribute(Qt::WA_WState_Created) && window->isVisible())
        return QMargins();
    // Another window's frame is a hint (a resizable window may get thicker
    // borders), never less than the guess.
    const QMargins model = knownMargins(like);
    return QMargins(qMax(model.left(), kGuessedFrame.left()), qMax(model.top(), kGuessedFrame.top()),
                    qMax(model.right(), kGuessedFrame.right()), qMax(model.bottom(), kGuessedFrame.bottom()));
}

void place(QWidget *window, const QPoint &wanted, const QWidget *like)
{
    const QMargins m = frameMarginsOf(window, like);
    const QRect frame(wanted, window->size().grownBy(m));
    const QRect available = availableAt(frame.center(), window);
    window->move(fitInside(frame, available));
}

void restore(QWidget *window, const QRect &frame)
{
    window->move(fitInside(frame, availableAt(frame.center(), window)));
}

void placeBelow(QWidget *window, const QWidget *above, int gap)
{
    const QRect over = above->frameGeometry();
    const QMargins m = frameMarginsOf(window, above);
    const QPoint wanted(over.left(), over.bottom() + 1 + gap);
    const QRect available = availableAt(over.center(), above);
    const int room = available.bottom() + 1 - wanted.y() - m.top() - m.bottom();
    if (room < window->height())
        window->resize(window->width(), qMax(window->minimumHeight(), room));
    place(window, wanted, above);
}

void centreOn(QWidget *window, const QRect &area, const QWidget *like)
{
    const QSize frame = window->size().grownBy(frameMarginsOf(window, like));
    place(window, area.center() - QPoint(frame.width() / 2, frame.height() / 2), like);
}

}  // namespace WindowPlacement
