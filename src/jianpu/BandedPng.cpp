#include "jianpu/BandedPng.h"

#include "jianpu/RowDeflater.h"

#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <array>
#include <cstring>
#include <memory>
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

// CRC-32 of PNG chunks, four bytes a step.
quint32 crc32(quint32 crc, const uchar *data, size_t size)
{
    using Tables = std::array<std::array<quint32, 256>, 4>;
    static const Tables tables = [] {
        Tables t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (quint32 n = 0; n < 256; ++n) {
            for (size_t k = 1; k < 4; ++k)
                t[k][n] = t[0][t[k - 1][n] & 0xff] ^ (t[k - 1][n] >> 8);
        }
        return t;
    }();
    crc = ~crc;
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        crc ^= quint32(data[i]) | quint32(data[i + 1]) << 8 | quint32(data[i + 2]) << 16 | quint32(data[i + 3]) << 24;
        crc = tables[3][crc & 0xff] ^ tables[2][(crc >> 8) & 0xff] ^ tables[1][(crc >> 16) & 0xff] ^ tables[0][crc >> 24];
    }
    for (; i < size; ++i)
        crc = tables[0][(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

class Chunks {
public:
    explicit Chunks(QIODevice &out) : out_(out) {}

    bool write(const char *type, const uchar *data, quint32 size)
    {
        uchar head[8];
        qToBigEndian(size, head);
        std::memcpy(head + 4, type, 4);
        uchar tail[4];
        qToBigEndian(crc32(crc32(0, head + 4, 4), data, size), tail);
        return raw(head, 8) && raw(data, size) && raw(tail, 4);
    }
    bool raw(const uchar *data, qint64 size)
    {
        if (ok_ && size > 0 && out_.write(reinterpret_cast<const char *>(data), size) != size)
            ok_ = false;
        return ok_;
    }
    // Writes what the deflater has made, once there is enough (or all at the end).
    bool imageData(RowDeflater &deflater, bool all)
    {
        if (deflater.size() == 0 || (!all && deflater.size() < kChunkBytes))
            return ok_;
        const bool done = write("IDAT", deflater.data(), quint32(deflater.size()));
        deflater.clear();
        return done;
    }

private:
    QIODevice &out_;
    bool ok_ = true;
};

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
    }
    // Paints band i; returns its lines.
    auto paintBand = [&](int i) {
        const int top = tops[i];
        const int lines = (i + 1 < tops.size() ? tops[i + 1] : height) - top;
        band_.fill(Qt::white);
        QPainter p(&band_);
        p.translate(0, -top / ratio);
        paint(p, QRectF(0, top / ratio, width / ratio, lines / ratio));
        return lines;
    };

    // First the whole picture as palette indices, each line after its
    // filter byte (0: none), while it has few enough colours.
    Palette palette;
    const size_t stride = size_t(width) + 1;
    if (indicesSize_ < stride * size_t(height)) {
        indicesSize_ = stride * size_t(height);
        indices_.reset(new uchar[indicesSize_]);
    }
    uchar *indices = indices_.get();
    bool paletted = true;
    for (int i = 0; i < tops.size() && paletted; ++i) {
        const int lines = paintBand(i);
        for (int y = 0; y < lines && paletted; ++y) {
            const QRgb *pixel = reinterpret_cast<const QRgb *>(band_.constScanLine(y));
            uchar *row = indices + size_t(tops[i] + y) * stride + 1;
            row[-1] = 0;
            // Most lines are blank or repeat the one above (bar lines).
            if (y > 0 && std::memcmp(pixel, band_.constScanLine(y - 1), size_t(width) * 4) == 0) {
                std::memcpy(row, row - stride, size_t(width));
                continue;
            }
            for (int x = 0; x < width;) {
                const QRgb colour = pixel[x];
                int end = x + 1;
                // Two pixels a step while the run lasts.
                const quint64 pair = quint64(colour) << 32 | colour;
                for (quint64 two; end + 2 <= width; end += 2) {
                    std::memcpy(&two, pixel + end, 8);
                    if (two != pair)
                        break;
                }
                while (end < width && pixel[end] == colour)
                    ++end;
                const int index = palette.indexOf(colour & 0xffffff);
                if (index < 0) {
                    paletted = false;
                    break;
                }
                std::memset(row + x, index, size_t(end - x));
                x = end;
            }
        }
    }

    Chunks chunks(out);
    bool written = writeHeader(chunks, pixels, band_, paletted ? &palette : nullptr);
    if (paletted) {
        RowDeflater deflater{int(stride)};
        for (int y = 0; y < height && written; ++y) {
            deflater.addRow(indices + size_t(y) * stride);
            written = chunks.imageData(deflater, false);
        }
        deflater.finish();
        written = written && chunks.imageData(deflater, true);
    } else {
        // Too many colours: painted again and stored as RGB.
        std::vector<uchar> row(size_t(width) * 3 + 1, 0);
        RowDeflater deflater{int(row.size())};
        for (int i = 0; i < tops.size() && written; ++i) {
            const int lines = paintBand(i);
            for (int y = 0; y < lines && written; ++y) {
                const QRgb *pixel = reinterpret_cast<const QRgb *>(band_.constScanLine(y));
                uchar *rgb = row.data() + 1;
                for (int x = 0; x < width; ++x) {
                    *rgb++ = uchar(qRed(pixel[x]));
                    *rgb++ = uchar(qGreen(pixel[x]));
                    *rgb++ = uchar(qBlue(pixel[x]));
                }
                deflater.addRow(row.data());
                written = chunks.imageData(deflater, false);
            }
        }
        deflater.finish();
        written = written && chunks.imageData(deflater, true);
    }
    written = written && chunks.write("IEND", nullptr, 0);
    if (!written)
        *error = out.errorString();
    return written;
}
