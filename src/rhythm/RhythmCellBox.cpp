#include "rhythm/RhythmCellBox.h"

#include <QPainter>

RhythmCellBox::RhythmCellBox(QWidget *parent) : QCheckBox(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

bool RhythmCellBox::usable() const
{
    const QWidget *track = parentWidget();
    return !track || track->rect().contains(geometry());
}

void RhythmCellBox::setColour(const QColor &colour)
{
    if (colour == this->colour())
        return;
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void RhythmCellBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect box = rect().adjusted(1, 2, -1, -2);
    painter.fillRect(rect(), colour());
    painter.setPen(QColor(96, 32, 0));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (!isChecked())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2));
    const QPointF tick[3] = {QPointF(box.left() + 2.5, box.center().y() + 0.5),
                             QPointF(box.left() + 5, box.bottom() - 2.5),
                             QPointF(box.right() - 1.5, box.top() + 2.5)};
    painter.drawPolyline(tick, 3);
}

bool RhythmCellBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos) && usable();
}
