#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

#include <functional>
#include <vector>

class QIODevice;
class QPainter;

// Writes tall pictures as PNG files without ever holding one whole: a
// picture is painted a band at a time into a small image, and compressed
// as it goes (PngRows). Pictures of few colours (notation: a few inks,
// their antialiased edges, white) are stored with a palette, one byte a
// pixel; others as RGB. Lossless either way, and quick: a line that
// repeats the one above is neither converted nor compressed again.
// What is held is the band and, for a palette, the compressed image data
// until the palette is known.
//
// One writer is used by one thread at a time; it keeps its buffers from one
// picture to the next.
class BandedPng {
public:
    // Paints the part of the picture inside `band` (logical units: the
    // painter is already moved so that the picture's own coordinates apply;
    // anything painted outside the band is cut off).
    using PaintBand = std::function<void(QPainter &p, const QRectF &band)>;

    BandedPng();
    ~BandedPng();

    // Writes a picture of `pixels` device pixels, painted at `ratio` device
    // pixels a logical unit on a white ground. It is painted in bands that
    // begin at `bandTops` (device lines, ascending from 0; each band is
    // painted once, so a band should hold whole rows); a long band is
    // painted in parts. False with the reason when the device fails.
    bool write(QIODevice &out, const QSize &pixels, qreal ratio, const QVector<int> &bandTops,
               const PaintBand &paint, QString *error);

private:
    QImage band_;
    // Which lines of band_ are known to be white (0xffffffff): only the
    // others are whitened before a band is painted. Pages are mostly white.
    std::vector<bool> white_;
};
