#include "jianpu/NotationView.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

NotationView::NotationView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NotationView"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMouseTracking(true);
    rebuild_.setSingleShot(true);
    rebuild_.setInterval(kRebuildMs);
    connect(&rebuild_, &QTimer::timeout, this, &NotationView::rebuild);
    rebuild();
}

void NotationView::setScore(const QString &score)
{
    score_ = score;
    // Not restarted while it runs: typing fast still shows the notes.
    if (!rebuild_.isActive())
        rebuild_.start();
}

void NotationView::setOptions(const Notation::Options &options, const NotationPicture::Header &header)
{
    options_ = options;
    header_ = header;
    if (!rebuild_.isActive())
        rebuild_.start();
}

NotationPicture &NotationView::picture()
{
    if (rebuild_.isActive() || stale_) {
        readNow();
        emit sheetChanged();
    }
    return picture_;
}

void NotationView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (stale_)
        rebuild();
}

void NotationView::rebuild()
{
    // A hidden view reads the score when it is shown again.
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    readNow();
    emit sheetChanged();
}

void NotationView::readNow()
{
    rebuild_.stop();
    stale_ = false;
    ++rebuilds_;
    picture_.setSheet(Notation::read(score_, options_), header_);
    playing_ = {0, 0};
    relayout();
}

void NotationView::relayout()
{
    picture_.layout(qMax(width(), 200));
    setMinimumHeight(int(picture_.height()));
    update();
}

void NotationView::showPlayingAt(int offset)
{
    const std::pair<int, int> cells = picture().sheet().cellsAt(offset + 1);
    if (cells.first == cells.second)
        return;  // a command: the note before stays marked
    const QRectF old = picture_.cellRect(playing_.first).united(picture_.cellRect(qMax(0, playing_.second - 1)));
    playing_ = cells;
    const QRectF now = picture_.cellRect(cells.first).united(picture_.cellRect(cells.second - 1));
    update(old.toAlignedRect());
    update(now.toAlignedRect());
    emit revealRequested(now.toAlignedRect());
}

void NotationView::clearPlaying()
{
    if (playing_.first == playing_.second)
        return;
    playing_ = {0, 0};
    update();
}

void NotationView::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    picture_.paint(p, event->rect(), playing_);
}

void NotationView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (qAbs(picture_.width() - qMax(width(), 200)) > 0.5)
        relayout();
}

bool NotationView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = picture_.toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
