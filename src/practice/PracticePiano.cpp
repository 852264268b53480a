#include "practice/PracticePiano.h"

#include "performance/KeyTable.h"
#include "performance/OnScreenKeyboard.h"
#include "resources/KeyArtwork.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace {

const QColor kTarget(40, 110, 230, 150);
const QColor kTargetEdge(20, 70, 190);
const QColor kRight(30, 170, 60, 170);
const QColor kWrong(220, 30, 30, 170);

// The main window's keys stand at its y 216; here at the top.
int keysTop()
{
    return OnScreenKeyboard::keyRect(0).top();
}

}  // namespace

PracticePiano::PracticePiano(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("practicePiano"));
    const int width = OnScreenKeyboard::keyRect(kKeys - 1).right() + 1;
    setFixedSize(width, OnScreenKeyboard::keyRect(0).height() + 1);
    pictures_ = {KeyArtwork::pixmap(KeyArtwork::kWhiteUp), KeyArtwork::pixmap(KeyArtwork::kWhitePressed),
                 KeyArtwork::pixmap(KeyArtwork::kBlackUp), KeyArtwork::pixmap(KeyArtwork::kBlackPressed)};
    setCursor(KeyArtwork::keyCursor());
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("练习琴键"));
    setAccessibleDescription(QStringLiteral("要弹的键标为蓝色，弹对变绿，弹错变红。点击琴键可以弹奏。"));
}

QRect PracticePiano::keyRect(int offset)
{
    return OnScreenKeyboard::keyRect(offset).translated(0, -keysTop());
}

int PracticePiano::keyAt(const QPoint &point)
{
    return OnScreenKeyboard::keyAt(point + QPoint(0, keysTop()));
}

void PracticePiano::setTarget(int offset, const QString &label, double fill)
{
    if (offset == target_ && label == label_ && qAbs(fill - fill_) < 0.004)
        return;
    const int old = target_;
    target_ = offset;
    label_ = label;
    fill_ = fill;
    updateKey(old);
    updateKey(offset);
}

void PracticePiano::setHeld(int offset, bool down)
{
    if (down ? held_.contains(offset) : !held_.contains(offset))
        return;
    if (down)
        held_.insert(offset);
    else
        held_.remove(offset);
    updateKey(offset);
}

void PracticePiano::flash(int offset, bool right, qint64 nowNs)
{
    flashes_.insert(offset, {right, nowNs + kFlashNs});
    updateKey(offset);
}

QColor PracticePiano::flashAt(int offset, qint64 nowNs) const
{
    const auto it = flashes_.constFind(offset);
    if (it == flashes_.cend() || nowNs >= it->untilNs)
        return QColor();
    return it->right ? kRight : kWrong;
}

bool PracticePiano::flashing(qint64 nowNs) const
{
    for (const Flash &f : flashes_) {
        if (nowNs < f.untilNs)
            return true;
    }
    return false;
}

void PracticePiano::updateKey(int offset)
{
    if (offset < 0 || offset >= kKeys)
        return;
    // A black key lies over its white neighbours: they are drawn again too.
    update(keyRect(offset).adjusted(-20, 0, 20, 0));
}

void PracticePiano::paintEvent(QPaintEvent *event)
{
    ++paints_;
    QPainter p(this);
    const qint64 t = now ? now() : 0;
    // Expired flashes go.
    for (auto it = flashes_.begin(); it != flashes_.end();) {
        if (t >= it->untilNs)
            it = flashes_.erase(it);
        else
            ++it;
    }
    for (bool black : {false, true}) {
        for (int o = 0; o < kKeys; ++o) {
            if (KeyTable::isBlackKey(o) != black)
                continue;
            const QRect r = keyRect(o);
            if (!r.intersects(event->rect()))
                continue;
            const int picture = (black ? 2 : 0) + (held_.contains(o) ? 1 : 0);
            p.drawPixmap(r.topLeft(), pictures_[size_t(picture)]);
            const QRect inner = r.adjusted(2, 2, -2, -2);
            if (o == target_) {
                // The mark fills up from the bottom as the note's time comes.
                const int h = int(inner.height() * qBound(0.0, fill_, 1.0) + 0.5);
                p.fillRect(QRect(inner.left(), inner.bottom() - h + 1, inner.width(), h), kTarget);
                p.setPen(QPen(kTargetEdge, 2));
                p.drawRect(inner);
            }
            const QColor f = flashAt(o, t);
            if (f.isValid())
                p.fillRect(inner, f);
            if (o == target_ && !label_.isEmpty()) {
                QFont font = p.font();
                font.setBold(true);
                font.setPixelSize(black ? 11 : 14);
                p.setFont(font);
                p.setPen(black ? Qt::white : kTargetEdge);
                p.drawText(QRect(r.left(), r.bottom() - 24, r.width(), 20), Qt::AlignCenter, label_);
            }
        }
    }
    emit painted();
}

void PracticePiano::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mouseKey_ = keyAt(event->position().toPoint());
    if (mouseKey_ >= 0)
        emit pressed(mouseKey_);
}

void PracticePiano::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || mouseKey_ < 0)
        return;
    emit released(mouseKey_);
    mouseKey_ = -1;
}
