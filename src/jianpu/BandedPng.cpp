#include "jianpu/BandedPng.h"

#include "jianpu/PngRows.h"

#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <zlib.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

// Device lines painted at a time: small enough to stay in the cache.
constexpr int kBandLines = 256;
// Image data goes out in chunks of about this size.
constexpr size_t kChunkBytes = 1 << 16;

// Up to 256 colours (0xRRGGBB), found by value.
class Palette {
public:
    // The colour's index, added when new; -1 when a 257th colour is asked for.
    int indexOf(quint32 rgb)
    {
        quint32 slot = (rgb * 2654435761u) >> (32 - kBits);
        for (;;) {
            if (keys_[slot] == 0) {
                if (colours_.size() == 256)
                    return -1;
                keys_[slot] = rgb | kUsed;
                index_[slot] = uchar(colours_.size());
                colours_.push_back(rgb);
                return index_[slot];
            }
            if (keys_[slot] == (rgb | kUsed))
                return index_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
    }
    const std::vector<quint32> &colours() const { return colours_; }

private:
    static constexpr int kBits = 10;  // a quarter full at most: short probes
    static constexpr quint32 kSlots = 1u << kBits;
    static constexpr quint32 kUsed = 0x1000000;
    std::array<quint32, kSlots> keys_{};
    std::array<uchar, kSlots> index_{};
    std::vector<quint32> colours_;
};

class Chunks {
public:
    explicit Chunks(QIODevice &out) : out_(out) {}

    bool write(const char *type, const uchar *data, quint32 size)
    {
        uchar head[8];
        qToBigEndian(size, head);
        std::memcpy(head + 4, type, 4);
        uLong crc = crc32(0, head + 4, 4);
        if (size > 0)
            crc = crc32(crc, data, size);  // zlib takes no data as a request for the start value
        uchar tail[4];
        qToBigEndian(quint32(crc), tail);
        return raw(head, 8) && raw(data, size) && raw(tail, 4);
    }
    bool raw(const uchar *data, qint64 size)
    {
        if (ok_ && size > 0 && out_.write(reinterpret_cast<const char *>(data), size) != size)
            ok_ = false;
        return ok_;
    }
    // Writes what the rows have made, once there is enough (or all at the end).
    bool imageData(PngRows &rows, bool all)
    {
        if (rows.size() == 0 || (!all && rows.size() < kChunkBytes))
            return ok_;
        for (size_t at = 0; at < rows.size() && ok_; at += kChunkBytes)
            write("IDAT", rows.data() + at, quint32(qMin(kChunkBytes, rows.size() - at)));
        rows.clear();
        return ok_;
    }

private:
    QIODevice &out_;
    bool ok_ = true;
};

// A line of pixels as palette indices; false when it brings a 257th colour.
// `white` tells whether the line is all white.
bool toIndices(const QRgb *pixel, int width, Palette &palette, uchar *row, bool *white)
{
    *white = false;
    bool oneRun = false;
    for (int x = 0; x < width;) {
        const QRgb colour = pixel[x];
        int end = x + 1;
        // Eight pixels a step while the run lasts, then two.
        const quint64 pair = quint64(colour) << 32 | colour;
        for (; end + 8 <= width; end += 8) {
            quint64 w0, w1, w2, w3;  // loaded one by one: no copy through the stack
            std::memcpy(&w0, pixel + end, 8);
            std::memcpy(&w1, pixel + end + 2, 8);
            std::memcpy(&w2, pixel + end + 4, 8);
            std::memcpy(&w3, pixel + end + 6, 8);
            if (((w0 ^ pair) | (w1 ^ pair) | (w2 ^ pair) | (w3 ^ pair)) != 0)
                break;
        }
        for (quint64 two; end + 2 <= width; end += 2) {
            std::memcpy(&two, pixel + end, 8);
            if (two != pair)
                break;
        }
        while (end < width && pixel[end] == colour)
            ++end;
        const int index = palette.indexOf(colour & 0xffffff);
        if (index < 0)
            return false;
        std::memset(row + x, index, size_t(end - x));
        oneRun = oneRun || end - x == width;
        x = end;
    }
    *white = oneRun && pixel[0] == 0xffffffffu;
    return true;
}

// Signature, size and kind, resolution (as Qt writes it) and palette.
bool writeHeader(Chunks &chunks, const QSize &pixels, const QImage &band, const Palette *palette)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uchar ihdr[13];
    qToBigEndian(quint32(pixels.width()), ihdr);
    qToBigEndian(quint32(pixels.height()), ihdr + 4);
    ihdr[8] = 8;                   // bits per sample
    ihdr[9] = palette ? 3 : 2;     // palette or RGB
    ihdr[10] = ihdr[11] = ihdr[12] = 0;  // deflate, per-line filters, no interlace
    uchar phys[9];
    qToBigEndian(quint32(band.dotsPerMeterX()), phys);
    qToBigEndian(quint32(band.dotsPerMeterY()), phys + 4);
    phys[8] = 1;  // per metre
    if (!chunks.raw(signature, 8) || !chunks.write("IHDR", ihdr, 13) || !chunks.write("pHYs", phys, 9))
        return false;
    if (!palette)
        return true;
    std::vector<uchar> plte;
    for (quint32 rgb : palette->colours())
        plte.insert(plte.end(), {uchar(rgb >> 16), uchar(rgb >> 8), uchar(rgb)});
    return chunks.write("PLTE", plte.data(), quint32(plte.size()));
}

}  // namespace

BandedPng::BandedPng() = default;
BandedPng::~BandedPng() = default;

bool BandedPng::write(QIODevice &out, const QSize &pixels, qreal ratio, const QVector<int> &bandTops,
                      const PaintBand &paint, QString *error)
{
    const int width = pixels.width();
    const int height = pixels.height();
    // The bands, a long one cut into parts of kBandLines.
    QVector<int> tops;
    for (int i = 0; i < bandTops.size(); ++i) {
        const int top = qBound(0, bandTops[i], height);
        const int end = i + 1 < bandTops.size() ? qBound(top, bandTops[i + 1], height) : height;
        for (int t = top; t < end; t += kBandLines)
            tops << t;
    }
    if (tops.isEmpty() || tops.first() != 0)
        tops.prepend(0);
    int tallest = 1;
    for (int i = 0; i < tops.size(); ++i)
        tallest = qMax(tallest, (i + 1 < tops.size() ? tops[i + 1] : height) - tops[i]);
    if (band_.width() != width || band_.height() < tallest || !qFuzzyCompare(band_.devicePixelRatio(), ratio)) {
        band_ = QImage(width, qMax(tallest, kBandLines), QImage::Format_RGB32);
        band_.setDevicePixelRatio(ratio);
        white_.assign(size_t(band_.height()), false);
    }
    // Paints band i; returns its lines. The caller marks the lines it finds
    // white.
    auto paintBand = [&](int i) {
        const int top = tops[i];
        const int lines = (i + 1 < tops.size() ? tops[i + 1] : height) - top;
        // White under the band's own lines only: the image may be taller,
        // and what is painted below them is never read.
        for (int y = 0; y < lines; ++y) {
            if (!white_[size_t(y)])
                std::memset(band_.scanLine(y), 0xff, size_t(width) * 4);
        }
        {
            QPainter p(&band_);
            p.translate(0, -top / ratio);
            paint(p, QRectF(0, top / ratio, width / ratio, lines / ratio));
        }
        white_.assign(white_.size(), false);
        return lines;
    };

    // First as palette indices, while the picture has few enough colours.
    // The palette goes ahead of the image data, and is known only once all
    // is painted: the image data is held until then, compressed.
    Palette palette;
    PngRows indexed(width);
    std::vector<uchar> row(static_cast<size_t>(width));
    bool paletted = true;
    bool made = true;  // false when zlib fails
    for (int i = 0; i < tops.size() && paletted && made; ++i) {
        const int lines = paintBand(i);
        for (int y = 0; y < lines && paletted && made; ++y) {
            const QRgb *pixel = reinterpret_cast<const QRgb *>(band_.constScanLine(y));
            // Most lines are blank or repeat the one above (bar lines).
            if (y > 0 && std::memcmp(pixel, band_.constScanLine(y - 1), size_t(width) * 4) == 0) {
                white_[size_t(y)] = white_[size_t(y - 1)];
                made = indexed.repeatRow();
            } else {
                bool white = false;
                if ((paletted = toIndices(pixel, width, palette, row.data(), &white)))
                    made = indexed.addRow(row.data());
                white_[size_t(y)] = white;
            }
        }
    }

    Chunks chunks(out);
    bool written = made && writeHeader(chunks, pixels, band_, paletted ? &palette : nullptr);
    if (paletted) {
        made = made && indexed.finish();
        written = written && made && chunks.imageData(indexed, true);
    } else if (written) {
        // Too many colours: painted again and stored as RGB, written as it goes.
        row.assign(size_t(width) * 3, 0);
        PngRows rgb(int(row.size()));
        for (int i = 0; i < tops.size() && written && made; ++i) {
            const int lines = paintBand(i);
            for (int y = 0; y < lines && written && made; ++y) {
                const QRgb *pixel = reinterpret_cast<const QRgb *>(band_.constScanLine(y));
                if (y > 0 && std::memcmp(pixel, band_.constScanLine(y - 1), size_t(width) * 4) == 0) {
                    white_[size_t(y)] = white_[size_t(y - 1)];
                    made = rgb.repeatRow();
                } else {
                    uchar *bytes = row.data();
                    QRgb all = 0xffffffffu;
                    for (int x = 0; x < width; ++x) {
                        all &= pixel[x];
                        *bytes++ = uchar(qRed(pixel[x]));
                        *bytes++ = uchar(qGreen(pixel[x]));
                        *bytes++ = uchar(qBlue(pixel[x]));
                    }
                    white_[size_t(y)] = all == 0xffffffffu;
                    made = rgb.addRow(row.data());
                }
                written = chunks.imageData(rgb, false);
            }
        }
        made = made && rgb.finish();
        written = written && made && chunks.imageData(rgb, true);
    }
    written = written && chunks.write("IEND", nullptr, 0);
    if (!made)
        *error = QStringLiteral("内存不足");
    else if (!written)
        *error = out.errorString();
    return made && written;
}
