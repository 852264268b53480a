#include "resources/WelcomePicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

void drawDrumKit(QPainter &p)
{
    // Bass drum with its front skin, a snare and a cymbal on a stand.
    p.setPen(QPen(QColor(60, 30, 20), 2));
    QRadialGradient skin(QPointF(58, 112), 34);
    skin.setColorAt(0, QColor(250, 245, 230));
    skin.setColorAt(1, QColor(200, 40, 40));
    p.setBrush(skin);
    p.drawEllipse(QPointF(58, 112), 32, 32);
    p.setBrush(QColor(240, 235, 220));
    p.drawEllipse(QPointF(58, 112), 17, 17);
    p.setBrush(QColor(190, 40, 40));
    p.drawRect(QRectF(94, 100, 32, 18));
    p.setBrush(QColor(235, 230, 215));
    p.drawEllipse(QRectF(94, 95, 32, 10));
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.drawLine(QPointF(30, 66), QPointF(30, 140));
    p.setBrush(QColor(230, 190, 60));
    p.setPen(QPen(QColor(150, 110, 20), 1.5));
    p.drawEllipse(QRectF(8, 60, 46, 10));
    // Sticks.
    p.setPen(QPen(QColor(150, 100, 50), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(98, 74), QPointF(112, 96));
    p.drawLine(QPointF(124, 76), QPointF(110, 96));
}

void drawBell(QPainter &p)
{
    QPainterPath bell;
    bell.moveTo(345, 70);
    bell.cubicTo(328, 73, 324, 102, 318, 128);
    bell.lineTo(372, 128);
    bell.cubicTo(366, 102, 362, 73, 345, 70);
    QLinearGradient gold(318, 0, 372, 0);
    gold.setColorAt(0, QColor(170, 120, 20));
    gold.setColorAt(0.45, QColor(255, 220, 90));
    gold.setColorAt(1, QColor(160, 110, 20));
    p.setPen(QPen(QColor(120, 80, 10), 1.5));
    p.setBrush(gold);
    p.drawPath(bell);
    p.drawEllipse(QPointF(345, 66), 5, 5);
    p.setBrush(QColor(120, 80, 10));
    p.drawEllipse(QPointF(345, 134), 6, 6);
}

void drawKeyboard(QPainter &p)
{
    const QRectF body(148, 88, 150, 44);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(45, 45, 55));
    p.drawRoundedRect(body.adjusted(-8, -10, 8, 6), 6, 6);
    const int whiteKeys = 14;
    const qreal w = body.width() / whiteKeys;
    p.setBrush(Qt::white);
    for (int i = 0; i < whiteKeys; ++i)
        p.drawRect(QRectF(body.left() + i * w, body.top(), w, body.height()));
    p.setBrush(Qt::black);
    for (int i = 0; i < whiteKeys - 1; ++i) {
        const int n = i % 7;
        if (n == 2 || n == 6)
            continue;  // no black key between E-F and B-C
        p.drawRect(QRectF(body.left() + (i + 1) * w - w * 0.3, body.top(), w * 0.6, body.height() * 0.6));
    }
}

}  // namespace

QImage welcomePicture()
{
    QImage image(400, 300, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0, QColor(24, 40, 96));
    sky.setColorAt(1, QColor(110, 150, 210));
    p.fillRect(image.rect(), sky);

    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(255, 230, 120));
    p.drawText(QRectF(0, 6, 400, 46), Qt::AlignCenter, QStringLiteral("Quorvane电子琴"));

    drawDrumKit(p);
    drawBell(p);
    drawKeyboard(p);
    return image;
}
