#include "rhythm/RhythmCellBox.h"

#include <QPainter>

RhythmCellBox::RhythmCellBox(QWidget *parent) : QCheckBox(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
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
    // A cell that does not fit wholly inside its track (cell 16, of which
    // only the first pixel column shows) cannot be used.
    const QWidget *track = parentWidget();
    return rect().contains(pos) && (!track || track->rect().contains(geometry()));
}
