#include "app/Form3.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kGrey(128, 128, 128);
}

QFont Form3::farewellFont()
{
    // AR PL UKai stands in for the Kai face ("楷体").
    QFont font(QStringLiteral("AR PL UKai CN"));
    font.setPointSize(150);
    return font;
}

Form3::Form3(Clock &clock, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      timer_(clock, QStringLiteral("Timer1"), 4000, this)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAccessibleName(farewellText());

    // The text drawn at (0, 0) as a path becomes the window's shape.
    const QFont font = farewellFont();
    const QFontMetrics metrics(font);
    QPainterPath path;
    path.addText(0, metrics.ascent(), font, farewellText());
    const QSize size(qMax(1, metrics.horizontalAdvance(farewellText())), qMax(1, metrics.height()));
    QBitmap mask(size);
    mask.clear();
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::color1);
        p.drawPath(path);
    }
    shape_ = QRegion(mask);
    resize(size);
    setMask(shape_);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, kGrey);
    setPalette(pal);
    setAutoFillBackground(true);

    timer_.onTick = [this] { end(); };
    timer_.setEnabled(true);
}

void Form3::end()
{
    if (ended_)
        return;
    ended_ = true;
    timer_.setEnabled(false);
    emit finished();
}

void Form3::mousePressEvent(QMouseEvent *event)
{
    if (shape_.contains(event->position().toPoint()))
        end();
}

void Form3::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kGrey);
}
