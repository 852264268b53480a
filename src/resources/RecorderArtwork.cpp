#include "resources/RecorderArtwork.h"

#include "resources/KeyArtwork.h"

#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>

namespace RecorderArtwork {

namespace {

enum class Shape { Triangle, Square, Disc };

QImage button(Shape shape, bool pressed, qreal ratio)
{
    QImage img(qRound(kSize * ratio), qRound(kSize * ratio), QImage::Format_RGB888);
    img.setDevicePixelRatio(ratio);
    img.fill(QColor(236, 233, 216));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The ring: raised when released, sunken when pressed.
    QRadialGradient face(pressed ? QPointF(14, 14) : QPointF(10, 9), 14);
    face.setColorAt(0.0, pressed ? QColor(200, 200, 200) : QColor(255, 255, 255));
    face.setColorAt(1.0, pressed ? QColor(150, 150, 150) : QColor(190, 190, 190));
    p.setBrush(face);
    p.setPen(QPen(QColor(80, 80, 80), 1.2));
    p.drawEllipse(QRectF(1.5, 1.5, 22, 22));

    // The sign, smaller when pressed.
    const double r = pressed ? 4.5 : 6.5;
    const QPointF c(12.5 + (pressed ? 0.5 : 0), 12.5 + (pressed ? 0.5 : 0));
    p.setPen(Qt::NoPen);
    switch (shape) {
    case Shape::Triangle: {
        p.setBrush(QColor(20, 110, 40));
        const QPolygonF tri({QPointF(c.x() - r * 0.7, c.y() - r), QPointF(c.x() - r * 0.7, c.y() + r),
                             QPointF(c.x() + r, c.y())});
        p.drawPolygon(tri);
        break;
    }
    case Shape::Square:
        p.setBrush(QColor(30, 30, 30));
        p.drawRect(QRectF(c.x() - r * 0.8, c.y() - r * 0.8, r * 1.6, r * 1.6));
        break;
    case Shape::Disc:
        p.setBrush(QColor(200, 20, 20));
        p.drawEllipse(c, r * 0.85, r * 0.85);
        break;
    }
    return img;
}

}  // namespace

QImage picture(int id, qreal devicePixelRatio)
{
    const qreal r = qBound(1.0, devicePixelRatio, 8.0);
    switch (id) {
    case 107: return button(Shape::Triangle, false, r);
    case 108: return button(Shape::Triangle, true, r);
    case 109: return button(Shape::Square, false, r);
    case 110: return button(Shape::Square, true, r);
    case 111: return button(Shape::Disc, false, r);
    case 112: return button(Shape::Disc, true, r);
    default: return QImage();
    }
}

QPixmap pixmap(int id)
{
    return QPixmap::fromImage(picture(id, KeyArtwork::screenPixelRatio()));
}

}  // namespace RecorderArtwork
