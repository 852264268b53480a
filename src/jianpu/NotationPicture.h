#pragma once

#include "jianpu/NotationRows.h"
#include "jianpu/NotationSheet.h"

#include <QFont>
#include <QHash>
#include <QRectF>
#include <QString>
#include <QVector>

#include <utility>

class QPainter;

// The drawing of a sheet in numbered notation: a header ("1=C 4/4 ♩=90",
// the title) and rows of equal height, laid out for a width. Painted the
// same on the screen, on paper and into picture files; paints only the rows
// a clip rectangle touches. Units are pixels at 96 dpi.
class NotationPicture {
public:
    struct Header {
        QString title;              // the score's file name, empty without one
        QString key = QStringLiteral("1=C");
    };

    NotationPicture();

    // A new sheet has no rows until it is laid out.
    void setSheet(Notation::Sheet sheet, const Header &header);
    const Notation::Sheet &sheet() const { return sheet_; }
    const Header &header() const { return header_; }

    // Lays the rows out for a picture of this width (margins included).
    void layout(qreal width);
    qreal width() const { return width_; }
    qreal height() const;
    qreal headerHeight() const;
    qreal rowHeight() const { return kRowHeight; }
    int rowCount() const { return int(rows_.size()); }
    qreal rowTop(int row) const { return headerHeight() + row * kRowHeight; }

    // Header, then the rows that meet `clip`; cells [highlight.first,
    // highlight.second) are marked as playing.
    void paint(QPainter &p, const QRectF &clip, std::pair<int, int> highlight = {0, 0}) const;
    void paintHeader(QPainter &p, qreal top) const;
    void paintRow(QPainter &p, int row, qreal top, std::pair<int, int> highlight = {0, 0}) const;

    // Where a cell stands; an empty rectangle for a cell not laid out.
    QRectF cellRect(int cell) const;
    // What the pointer shows over a place: an error's message, a mark's
    // command, a held note's warning. Empty elsewhere.
    QString toolTipAt(const QPointF &point) const;

    static constexpr qreal kMargin = 24;
    static constexpr qreal kRowHeight = 84;

private:
    int rowOfCell(int cell) const;
    void paintCell(QPainter &p, const Notation::Cell &c, const Notation::PlacedCell &placed, qreal top) const;
    void paintUnderlines(QPainter &p, const Notation::Row &row, qreal top) const;
    void paintTies(QPainter &p, int row, qreal top) const;

    Notation::Sheet sheet_;
    Header header_;
    QVector<Notation::Row> rows_;
    QVector<int> tiedTo_;  // per cell: the note head its tie goes to, -1 without
    qreal width_ = 0;
    QFont digitFont_;
    QFont markFont_;
    QFont headerFont_;
    QFont titleFont_;
    QFont errorFont_;
    QHash<QString, qreal> markWidths_;
};
