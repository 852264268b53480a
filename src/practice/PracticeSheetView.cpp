#include "practice/PracticeSheetView.h"

#include "practice/PracticeSession.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

const QColor kCurrent(120, 170, 255, 130);
const QColor kRight(90, 200, 110, 110);
const QColor kWrong(235, 80, 80, 120);
const QColor kMissed(150, 150, 150, 90);
const QColor kFlash(230, 20, 20, 170);
const QColor kOutside(255, 255, 255, 150);
// The band of a row the digits stand in, as the 简谱 window marks the note playing.
constexpr qreal kBandTop = 22;
constexpr qreal kBandHeight = 42;

}  // namespace

PracticeSheetView::PracticeSheetView(PracticeSession &session, QWidget *parent)
    : QWidget(parent), session_(session)
{
    setObjectName(QStringLiteral("practiceSheet"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("练习乐谱"));
}

void PracticeSheetView::setSheet(const QString &title, const QString &key)
{
    NotationPicture::Header header;
    header.title = title;
    header.key = key;
    picture_.setSheet(session_.sheet(), header);
    noteCells_.clear();
    for (int position : session_.prepared().positions)
        noteCells_ << picture_.sheet().cellsAt(position);
    shownNote_ = -1;
    relayout();
    refresh();
}

void PracticeSheetView::relayout()
{
    picture_.layout(qMax(width(), 200));
    setMinimumHeight(int(picture_.height()));
    update();
}

void PracticeSheetView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (qAbs(picture_.width() - qMax(width(), 200)) > 0.5)
        relayout();
}

QVector<QRectF> PracticeSheetView::noteRects(int note) const
{
    QVector<QRectF> rects;
    if (note < 0 || note >= noteCells_.size())
        return rects;
    const std::pair<int, int> cells = noteCells_[note];
    for (int c = cells.first; c < cells.second; ++c) {
        const QRectF cell = picture_.cellRect(c);
        if (!cell.isEmpty())
            rects << QRectF(cell.left(), cell.top() + kBandTop, cell.width(), kBandHeight);
    }
    return rects;
}

void PracticeSheetView::refresh()
{
    update();
    const int note = session_.currentNote();
    if (note == shownNote_)
        return;
    shownNote_ = note;
    const QVector<QRectF> rects = noteRects(note);
    if (!rects.isEmpty()) {
        // The next few notes stay in sight: the row below is asked for too.
        QRect wanted = rects.constFirst().toAlignedRect();
        wanted.setBottom(wanted.bottom() + int(picture_.rowHeight()));
        emit revealRequested(wanted);
    }
}

void PracticeSheetView::flashWrong(int note, qint64 nowNs)
{
    flashNote_ = note;
    flashUntilNs_ = nowNs + kFlashNs;
    for (const QRectF &r : noteRects(note))
        update(r.toAlignedRect().adjusted(-4, -4, 4, 4));
}

void PracticeSheetView::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const int first = session_.passageFirst();
    const int last = first + session_.passageCount();
    const int current = session_.currentNote();
    const QRectF clip = event->rect();
    for (int n = 0; n < noteCells_.size(); ++n) {
        const QVector<QRectF> rects = noteRects(n);
        if (rects.isEmpty() || !clip.intersects(rects.constFirst().united(rects.constLast())))
            continue;
        QColor colour;
        switch (session_.outcome(n)) {
        case Practice::Outcome::Right:
            colour = kRight;
            break;
        case Practice::Outcome::Wrong:
            colour = kWrong;
            break;
        case Practice::Outcome::Missed:
            colour = kMissed;
            break;
        case Practice::Outcome::Pending:
            break;
        }
        if (n == current)
            colour = kCurrent;
        if (colour.isValid()) {
            for (const QRectF &r : rects)
                p.fillRect(r, colour);
        }
    }
    picture_.paint(p, event->rect());
    // Outside the passage the notes are there, but pale.
    for (int n = 0; n < noteCells_.size(); ++n) {
        if (n >= first && n < last)
            continue;
        for (const QRectF &r : noteRects(n)) {
            if (r.intersects(clip))
                p.fillRect(r, kOutside);
        }
    }
    const qint64 t = now ? now() : 0;
    if (flashNote_ >= 0 && t < flashUntilNs_) {
        p.setPen(QPen(kFlash, 3));
        for (const QRectF &r : noteRects(flashNote_))
            p.drawRect(r.adjusted(-1, -1, 1, 1));
    }
}
