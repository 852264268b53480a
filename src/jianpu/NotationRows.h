#pragma once

#include "jianpu/NotationSheet.h"

#include <QVector>

#include <functional>

// Wraps the bars of a sheet into rows of a given width, as a song book
// sets them: whole bars per row (a bar wider than a row is broken between
// its cells), full rows stretched to the width, marks above the staff
// pushed right where they would overlap. Widths are in the caller's units.
namespace Notation {

struct Metrics {
    qreal noteWidth = 24;  // a digit or a rest
    qreal dotWidth = 8;    // more for an augmentation dot
    qreal dashWidth = 24;
    qreal barWidth = 12;   // the room of a bar line
    qreal markGap = 6;     // between two marks
    qreal errorPadding = 8;
    // Width of a mark's text and of an error's text.
    std::function<qreal(const QString &)> markWidth;
    std::function<qreal(const QString &)> errorWidth;
};

struct PlacedCell {
    int cell = 0;
    qreal x = 0;
    qreal width = 0;
};

struct PlacedMark {
    int cell = 0;
    int mark = 0;  // index in the cell's marks
    qreal x = 0;
    qreal width = 0;
};

struct BarLine {
    qreal x = 0;  // the line's place
    bool final = false;
};

struct Row {
    QVector<PlacedCell> cells;
    QVector<PlacedMark> marks;
    QVector<BarLine> barLines;
};

// The width of a cell before stretching.
qreal cellWidth(const Cell &cell, const Metrics &metrics);

QVector<Row> layoutRows(const Sheet &sheet, const Metrics &metrics, qreal width);

}  // namespace Notation
