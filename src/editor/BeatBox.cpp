#include "editor/BeatBox.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSide = 15;
}

BeatBox::BeatBox(const QColor &fill, QWidget *parent) : QCheckBox(parent), fill_(fill)
{
}

QColor BeatBox::markColour() const
{
    return qGray(fill_.rgb()) < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

QRect BeatBox::square() const
{
    return QRect((width() - kSide) / 2, (height() - kSide) / 2, kSide, kSide);
}

QSize BeatBox::sizeHint() const
{
    return QSize(kSide + 4, kSide + 4);
}

void BeatBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect box = square();
    p.fillRect(box, isEnabled() ? fill_ : fill_.lighter(150));
    p.setPen(hasFocus() ? QPen(palette().color(QPalette::Highlight), 1) : QPen(fill_.darker(250), 1));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    if (!isChecked())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(markColour(), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath mark;
    mark.moveTo(box.left() + 3.5, box.top() + 7.5);
    mark.lineTo(box.left() + 6.5, box.top() + 11);
    mark.lineTo(box.right() - 2.5, box.top() + 3.5);
    p.drawPath(mark);
}

bool BeatBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}
