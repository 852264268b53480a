#include "jianpu/NotationRows.h"

namespace Notation {

namespace {

class RowBuilder {
public:
    RowBuilder(const Sheet &sheet, const Metrics &metrics, qreal width)
        : sheet_(sheet), m_(metrics), width_(width)
    {
    }

    QVector<Row> build()
    {
        const int barLength = sheet_.barLength();
        for (int b = 0; b < sheet_.bars.size(); ++b) {
            const Bar &bar = sheet_.bars[b];
            qreal barWidth = 0;
            for (int i = bar.first; i < bar.first + bar.count; ++i)
                barWidth += cellWidth(sheet_.cells[i], m_);
            // A bar still being written has no line after it yet.
            const bool line = bar.final || b + 1 < sheet_.bars.size() || sheet_.length >= (b + 1) * barLength;
            if (!row_.cells.isEmpty() && x_ + barWidth + (line ? m_.barWidth : 0) > width_)
                finishRow(true);
            for (int i = bar.first; i < bar.first + bar.count; ++i) {
                const qreal w = cellWidth(sheet_.cells[i], m_);
                if (!row_.cells.isEmpty() && x_ + w > width_)
                    finishRow(true);
                row_.cells.append(PlacedCell{i, x_, w});
                x_ += w;
            }
            if (line) {
                row_.barLines.append(BarLine{x_ + m_.barWidth / 2, bar.final});
                cellsBeforeBar_.append(int(row_.cells.size()));
                x_ += m_.barWidth;
            }
        }
        if (!row_.cells.isEmpty() || !row_.barLines.isEmpty())
            finishRow(false);
        return rows_;
    }

private:
    void finishRow(bool full)
    {
        qreal cellsWidth = 0;
        for (const PlacedCell &c : row_.cells)
            cellsWidth += c.width;
        const qreal extra = width_ - x_;
        // A full row is stretched to the width, unless it was broken early
        // and would look torn apart.
        if (full && extra > 0 && cellsWidth > 0 && extra < x_ * 0.5) {
            const qreal factor = extra / cellsWidth;
            QVector<qreal> shiftBefore(row_.cells.size() + 1, 0);
            qreal shift = 0;
            for (int i = 0; i < row_.cells.size(); ++i) {
                PlacedCell &c = row_.cells[i];
                shiftBefore[i] = shift;
                c.x += shift;
                shift += c.width * factor;
                c.width *= 1 + factor;
            }
            shiftBefore[row_.cells.size()] = shift;
            for (int j = 0; j < row_.barLines.size(); ++j)
                row_.barLines[j].x += shiftBefore[cellsBeforeBar_[j]];
        }
        placeMarks();
        rows_.append(row_);
        row_ = Row();
        cellsBeforeBar_.clear();
        x_ = 0;
    }

    void placeMarks()
    {
        qreal end = -m_.markGap;
        for (const PlacedCell &p : row_.cells) {
            const QVector<Mark> &marks = sheet_.cells[p.cell].marks;
            for (int k = 0; k < marks.size(); ++k) {
                const qreal w = m_.markWidth ? m_.markWidth(marks[k].text) : marks[k].text.size() * m_.noteWidth / 2;
                const qreal x = qMax(p.x, end + m_.markGap);
                row_.marks.append(PlacedMark{p.cell, k, x, w});
                end = x + w;
            }
        }
    }

    const Sheet &sheet_;
    const Metrics &m_;
    const qreal width_;
    QVector<Row> rows_;
    Row row_;
    QVector<int> cellsBeforeBar_;  // per bar line of the row: cells left of it
    qreal x_ = 0;
};

}  // namespace

qreal cellWidth(const Cell &cell, const Metrics &metrics)
{
    switch (cell.kind) {
    case CellKind::Note:
    case CellKind::Rest:
        return metrics.noteWidth + (cell.dotted ? metrics.dotWidth : 0);
    case CellKind::Dash:
        return metrics.dashWidth;
    case CellKind::Error:
        return (metrics.errorWidth ? metrics.errorWidth(cell.text) : cell.text.size() * metrics.noteWidth / 2)
               + metrics.errorPadding;
    case CellKind::Marker:
        return metrics.noteWidth / 2;
    }
    return metrics.noteWidth;
}

QVector<Row> layoutRows(const Sheet &sheet, const Metrics &metrics, qreal width)
{
    return RowBuilder(sheet, metrics, qMax<qreal>(width, metrics.noteWidth * 2)).build();
}

}  // namespace Notation
