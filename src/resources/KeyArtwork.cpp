#include "resources/KeyArtwork.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace KeyArtwork {

namespace {

// An image of a logical size for a device pixel ratio; a painter on it draws
// in logical pixels.
QImage canvas(QSize size, qreal ratio, QImage::Format format)
{
    QImage img(QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)), format);
    img.setDevicePixelRatio(ratio);
    return img;
}

QImage whiteKey(bool pressed, qreal ratio)
{
    QImage img = canvas(QSize(26, 121), ratio, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 121);
    if (pressed) {
        // Pressed: greyer, with the shadow of the key above at the top.
        g.setColorAt(0.0, QColor(150, 150, 150));
        g.setColorAt(0.08, QColor(205, 205, 205));
        g.setColorAt(1.0, QColor(190, 190, 190));
    } else {
        g.setColorAt(0.0, QColor(232, 232, 232));
        g.setColorAt(0.15, QColor(252, 252, 252));
        g.setColorAt(1.0, QColor(240, 240, 240));
    }
    p.fillRect(QRect(0, 0, 26, 121), g);
    // The front edge of the key.
    p.fillRect(QRect(1, pressed ? 117 : 113, 24, pressed ? 4 : 8),
               pressed ? QColor(170, 170, 170) : QColor(214, 214, 214));
    // Gaps to the neighbours: whole logical pixels, so that they stay at the
    // edges at any device pixel ratio.
    const QColor gap(90, 90, 90);
    p.fillRect(QRect(0, 0, 1, 121), gap);
    p.fillRect(QRect(25, 0, 1, 121), gap);
    p.fillRect(QRect(0, 120, 26, 1), gap);
    return img;
}

QImage blackKey(bool pressed, qreal ratio)
{
    QImage img = canvas(QSize(18, 69), ratio, QImage::Format_RGB888);
    img.fill(QColor(10, 10, 10));
    QPainter p(&img);
    const QColor body = pressed ? QColor(95, 95, 95) : QColor(28, 28, 28);
    const QColor top = pressed ? QColor(120, 120, 120) : QColor(60, 60, 60);
    QLinearGradient g(0, 0, 0, 69);
    g.setColorAt(0.0, body);
    g.setColorAt(1.0, top);
    // Bevel: sides and front edge lighter than the top face.
    p.fillRect(QRect(1, 0, 16, pressed ? 66 : 62), g);
    p.fillRect(QRect(3, 0, 12, pressed ? 63 : 57), body);
    p.setPen(pressed ? QColor(140, 140, 140) : QColor(85, 85, 85));
    p.drawLine(4, 2, 4, pressed ? 60 : 54);
    return img;
}

QPixmap cursorPixmap()
{
    QImage img = canvas(QSize(32, 32), screenPixelRatio(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The arrow; its tip is the hot spot.
    QPolygonF arrow;
    arrow << QPointF(1, 1) << QPointF(1, 17) << QPointF(5, 13) << QPointF(8, 20)
          << QPointF(11, 19) << QPointF(8, 12) << QPointF(13, 12);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
    // An eighth note beside it.
    const QColor ink(20, 20, 120);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(ink);
    p.drawEllipse(QPointF(19, 27), 4.5, 3.3);
    p.setPen(QPen(ink, 2));
    p.drawLine(QPointF(23, 27), QPointF(23, 11));
    QPainterPath flag;
    flag.moveTo(23, 11);
    flag.cubicTo(25, 15, 30, 15, 28, 22);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flag);
    p.end();
    return QPixmap::fromImage(img);
}

}  // namespace

QSize pictureSize(int id)
{
    switch (id) {
    case kWhiteUp:
    case kWhitePressed:
        return QSize(26, 121);
    case kBlackUp:
    case kBlackPressed:
        return QSize(18, 69);
    default:
        return QSize();
    }
}

QImage picture(int id, qreal devicePixelRatio)
{
    const qreal r = qBound(1.0, devicePixelRatio, 8.0);
    switch (id) {
    case kWhiteUp: return whiteKey(false, r);
    case kWhitePressed: return whiteKey(true, r);
    case kBlackUp: return blackKey(false, r);
    case kBlackPressed: return blackKey(true, r);
    default: return QImage();
    }
}

QPixmap pixmap(int id)
{
    return QPixmap::fromImage(picture(id, screenPixelRatio()));
}

qreal screenPixelRatio()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? qGuiApp->devicePixelRatio() : 1.0;
}

QCursor keyCursor()
{
    return QCursor(cursorPixmap(), 1, 1);
}

}  // namespace KeyArtwork
