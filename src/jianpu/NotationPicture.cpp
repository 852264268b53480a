#include "jianpu/NotationPicture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

using namespace Notation;

namespace {

// Places inside a row, from its top.
constexpr qreal kMarkBaseline = 13;
constexpr qreal kDigitTop = 28;
constexpr qreal kDigitBottom = 50;
constexpr qreal kUnderlineTop = 52;
constexpr qreal kUnderlineStep = 3.5;
constexpr qreal kDotStep = 5;
constexpr qreal kDotRadius = 1.7;
constexpr qreal kHeaderRow = 26;

const QColor kInk(0x20, 0x20, 0x20);
const QColor kGhostInk(0x90, 0x90, 0x90);  // after "TZ": never played
const QColor kMarkInk(0x1f, 0x4e, 0x8c);
const QColor kErrorInk(0xd0, 0x10, 0x10);
const QColor kHighlight(0xff, 0xe0, 0x80);

QFont pixelFont(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace

NotationPicture::NotationPicture()
    : digitFont_(pixelFont(20)), markFont_(pixelFont(11)), headerFont_(pixelFont(14)),
      titleFont_(pixelFont(20, true)), errorFont_(pixelFont(14))
{
}

void NotationPicture::setSheet(Sheet sheet, const Header &header)
{
    sheet_ = std::move(sheet);
    header_ = header;
    tiedTo_.fill(-1, sheet_.cells.size());
    for (int i = 0; i < sheet_.cells.size(); ++i) {
        if (sheet_.cells[i].tieFrom >= 0)
            tiedTo_[sheet_.cells[i].tieFrom] = i;
    }
    rows_.clear();  // laid out again by the caller
}

void NotationPicture::layout(qreal width)
{
    width_ = width;
    Metrics m;
    m.noteWidth = 26;
    m.dotWidth = 8;
    m.dashWidth = 26;
    m.barWidth = 14;
    m.markGap = 6;
    m.errorPadding = 10;
    const QFontMetricsF marks(markFont_);
    const QFontMetricsF errors(errorFont_);
    // Scores repeat their few commands: measure each text once.
    m.markWidth = [this, marks](const QString &t) {
        auto it = markWidths_.constFind(t);
        if (it == markWidths_.constEnd())
            it = markWidths_.insert(t, marks.horizontalAdvance(t));
        return *it;
    };
    m.errorWidth = [errors](const QString &t) { return errors.horizontalAdvance(t); };
    rows_ = layoutRows(sheet_, m, width - 2 * kMargin);
}

qreal NotationPicture::headerHeight() const
{
    return 12 + (header_.title.isEmpty() ? 0 : 32) + kHeaderRow + 8;
}

qreal NotationPicture::height() const
{
    return headerHeight() + rows_.size() * kRowHeight + 8;
}

void NotationPicture::paint(QPainter &p, const QRectF &clip, std::pair<int, int> highlight) const
{
    if (clip.top() < headerHeight())
        paintHeader(p, 0);
    const int first = qMax(0, int((clip.top() - headerHeight()) / kRowHeight));
    const int last = qMin(int(rows_.size()) - 1, int((clip.bottom() - headerHeight()) / kRowHeight));
    for (int r = first; r <= last; ++r)
        paintRow(p, r, rowTop(r), highlight);
}

void NotationPicture::paintHeader(QPainter &p, qreal top) const
{
    p.save();
    p.setPen(kInk);
    qreal y = top + 12;
    if (!header_.title.isEmpty()) {
        p.setFont(titleFont_);
        p.drawText(QRectF(kMargin, y, width_ - 2 * kMargin, 30), Qt::AlignHCenter | Qt::AlignVCenter, header_.title);
        y += 32;
    }
    p.setFont(headerFont_);
    const QString line = QStringLiteral("%1  %2/4    ♩=%3").arg(header_.key).arg(sheet_.beatsPerBar).arg(sheet_.tempo);
    p.drawText(QRectF(kMargin, y, width_ - 2 * kMargin, kHeaderRow), Qt::AlignLeft | Qt::AlignVCenter, line);
    p.restore();
}

void NotationPicture::paintRow(QPainter &p, int r, qreal top, std::pair<int, int> highlight) const
{
    if (r < 0 || r >= rows_.size())
        return;
    const Row &row = rows_[r];
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(kMargin, 0);
    for (const PlacedCell &placed : row.cells) {
        if (placed.cell >= highlight.first && placed.cell < highlight.second)
            p.fillRect(QRectF(placed.x, top + kDigitTop - 4, placed.width, kDigitBottom - kDigitTop + 16), kHighlight);
    }
    for (const PlacedCell &placed : row.cells)
        paintCell(p, sheet_.cells[placed.cell], placed, top);
    paintUnderlines(p, row, top);
    paintTies(p, r, top);

    p.setPen(QPen(kInk, 1.2));
    for (const BarLine &b : row.barLines) {
        const qreal y1 = top + kDigitTop - 2;
        const qreal y2 = top + kDigitBottom + 6;
        if (b.final) {
            p.drawLine(QPointF(b.x - 3, y1), QPointF(b.x - 3, y2));
            p.fillRect(QRectF(b.x, y1, 3.5, y2 - y1), kInk);
        } else {
            p.drawLine(QPointF(b.x, y1), QPointF(b.x, y2));
        }
    }

    p.setFont(markFont_);
    for (const PlacedMark &m : row.marks) {
        const Mark &mark = sheet_.cells[m.cell].marks[m.mark];
        p.setPen(mark.warning ? kErrorInk : kMarkInk);
        p.drawText(QPointF(m.x, top + kMarkBaseline), mark.text);
    }
    p.restore();
}

void NotationPicture::paintCell(QPainter &p, const Cell &c, const PlacedCell &placed, qreal top) const
{
    const qreal digitWidth = c.dotted ? placed.width * 26 / 34 : placed.width;
    const QRectF box(placed.x, top + kDigitTop, digitWidth, kDigitBottom - kDigitTop);
    const qreal cx = box.center().x();
    const QColor ink = c.afterEnd ? kGhostInk : kInk;
    switch (c.kind) {
    case CellKind::Note:
    case CellKind::Rest: {
        p.setPen(ink);
        p.setFont(digitFont_);
        p.drawText(box, Qt::AlignCenter, QString::number(c.digit));
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        for (int j = 0; j < c.octave; ++j)
            p.drawEllipse(QPointF(cx, top + kDigitTop - 3 - j * kDotStep), kDotRadius, kDotRadius);
        for (int j = 0; j < -c.octave; ++j)
            p.drawEllipse(QPointF(cx, top + kUnderlineTop + c.underlines * kUnderlineStep + 3 + j * kDotStep),
                          kDotRadius, kDotRadius);
        if (c.dotted)
            p.drawEllipse(QPointF(box.right() + 2, box.center().y() + 2), kDotRadius, kDotRadius);
        if (c.held) {
            // A fermata over the digit: the note does not end by itself.
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(ink, 1.1));
            const qreal y = top + kDigitTop - 4 - qMax(0, c.octave) * kDotStep;
            p.drawArc(QRectF(cx - 6, y - 6, 12, 12), 0, 180 * 16);
            p.setBrush(ink);
            p.drawEllipse(QPointF(cx, y - 1), 1.2, 1.2);
        }
        p.setBrush(Qt::NoBrush);
        break;
    }
    case CellKind::Dash:
        p.setPen(QPen(ink, 1.6));
        p.drawLine(QPointF(cx - 6, box.center().y() + 1), QPointF(cx + 6, box.center().y() + 1));
        break;
    case CellKind::Error: {
        p.setPen(kErrorInk);
        p.setFont(errorFont_);
        p.drawText(box, Qt::AlignCenter, c.text);
        // A wavy line under the faulty characters.
        QPainterPath wave;
        const qreal y = box.bottom() + 3;
        wave.moveTo(box.left() + 3, y);
        for (qreal x = box.left() + 3; x < box.right() - 3; x += 4)
            wave.quadTo(x + 1, y + ((int(x - box.left()) / 4) % 2 ? 2 : -2), x + 2, y);
        p.setPen(QPen(kErrorInk, 1));
        p.drawPath(wave);
        break;
    }
    case CellKind::Marker:
        break;
    }
}

void NotationPicture::paintUnderlines(QPainter &p, const Row &row, qreal top) const
{
    // Each level runs on under neighbouring notes of the same beat.
    p.setPen(QPen(kInk, 1.3));
    for (int level = 1; level <= 3; ++level) {
        const qreal y = top + kUnderlineTop + (level - 1) * kUnderlineStep;
        int i = 0;
        while (i < row.cells.size()) {
            const Cell &c = sheet_.cells[row.cells[i].cell];
            if (c.underlines < level) {
                ++i;
                continue;
            }
            int j = i;
            while (j + 1 < row.cells.size()) {
                const PlacedCell &next = row.cells[j + 1];
                const Cell &n = sheet_.cells[next.cell];
                if (next.cell != row.cells[j].cell + 1 || n.underlines < level || n.start / 8 != c.start / 8)
                    break;
                ++j;
            }
            p.setPen(QPen(c.afterEnd ? kGhostInk : kInk, 1.3));
            const qreal x1 = row.cells[i].x + 4;
            const qreal x2 = row.cells[j].x + row.cells[j].width - 4;
            p.drawLine(QPointF(x1, y), QPointF(x2, y));
            i = j + 1;
        }
    }
}

void NotationPicture::paintTies(QPainter &p, int r, qreal top) const
{
    const Row &row = rows_[r];
    if (row.cells.isEmpty())
        return;
    const int firstCell = row.cells.first().cell;
    const int lastCell = row.cells.last().cell;
    p.setPen(QPen(kInk, 1.1));
    p.setBrush(Qt::NoBrush);
    auto arc = [&](qreal x1, qreal x2, int dots) {
        const qreal y = top + kDigitTop - 3 - dots * kDotStep;
        QPainterPath path;
        path.moveTo(x1, y);
        path.quadTo((x1 + x2) / 2, y - 9, x2, y);
        p.drawPath(path);
    };
    auto centre = [&](int cell) {
        const QRectF rect = cellRect(cell);
        const Cell &c = sheet_.cells[cell];
        const qreal w = c.dotted ? rect.width() * 26 / 34 : rect.width();
        return rect.left() - kMargin + w / 2;
    };
    for (const PlacedCell &placed : row.cells) {
        const Cell &c = sheet_.cells[placed.cell];
        if (c.tieFrom < 0)
            continue;
        const int dots = qMax(0, qMax(c.octave, sheet_.cells[c.tieFrom].octave));
        if (c.tieFrom >= firstCell)
            arc(centre(c.tieFrom) + 3, centre(placed.cell) - 3, dots);
        else
            arc(-6, centre(placed.cell) - 3, dots);  // from the row before
    }
    // Ties that go on into the next row end at this row's edge.
    for (const PlacedCell &placed : row.cells) {
        const int to = tiedTo_.value(placed.cell, -1);
        if (to > lastCell) {
            const qreal edge = row.barLines.isEmpty() ? placed.x + placed.width : row.barLines.last().x;
            arc(centre(placed.cell) + 3, qMax(edge, placed.x + placed.width) + 6,
                qMax(0, sheet_.cells[placed.cell].octave));
        }
    }
}

int NotationPicture::rowOfCell(int cell) const
{
    auto it = std::upper_bound(rows_.begin(), rows_.end(), cell, [](int c, const Row &r) {
        return !r.cells.isEmpty() && c < r.cells.first().cell;
    });
    if (it == rows_.begin())
        return -1;
    const int r = int(it - rows_.begin()) - 1;
    const Row &row = rows_[r];
    if (row.cells.isEmpty() || cell > row.cells.last().cell)
        return -1;
    return r;
}

QRectF NotationPicture::cellRect(int cell) const
{
    const int r = rowOfCell(cell);
    if (r < 0)
        return QRectF();
    const Row &row = rows_[r];
    const PlacedCell &placed = row.cells[cell - row.cells.first().cell];
    return QRectF(kMargin + placed.x, rowTop(r), placed.width, kRowHeight);
}

QString NotationPicture::toolTipAt(const QPointF &point) const
{
    const int r = int((point.y() - headerHeight()) / kRowHeight);
    if (point.y() < headerHeight() || r >= rows_.size())
        return QString();
    const Row &row = rows_[r];
    const qreal x = point.x() - kMargin;
    const qreal y = point.y() - rowTop(r);
    if (y < kDigitTop - 10) {
        for (const PlacedMark &m : row.marks) {
            if (x >= m.x && x < m.x + m.width)
                return sheet_.cells[m.cell].marks[m.mark].toolTip;
        }
        return QString();
    }
    for (const PlacedCell &placed : row.cells) {
        if (x >= placed.x && x < placed.x + placed.width)
            return sheet_.cells[placed.cell].toolTip;
    }
    return QString();
}
