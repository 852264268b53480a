#include "ResidentMemory.h"
#include "TestMain.h"

#include "jianpu/PngRows.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

// Compresses the lines and inflates them again with zlib (through
// qUncompress, which wants the size in front), which also checks the sum.
QByteArray roundTrip(const std::vector<QByteArray> &rows, int stride)
{
    PngRows png(stride);
    QByteArray stream;
    for (const QByteArray &row : rows) {
        png.addRow(reinterpret_cast<const uchar *>(row.constData()));
        // Taken in pieces, as the PNG writer takes them.
        if (png.size() > 100) {
            stream.append(reinterpret_cast<const char *>(png.data()), qsizetype(png.size()));
            png.clear();
        }
    }
    png.finish();
    stream.append(reinterpret_cast<const char *>(png.data()), qsizetype(png.size()));
    const qsizetype expected = qsizetype(rows.size()) * (stride + 1);
    QByteArray sized(4, '\0');
    sized[0] = char(expected >> 24);
    sized[1] = char(expected >> 16);
    sized[2] = char(expected >> 8);
    sized[3] = char(expected);
    return qUncompress(sized + stream);
}

// Each line behind its filter byte, 0 (none).
QByteArray filtered(const std::vector<QByteArray> &rows)
{
    QByteArray all;
    for (const QByteArray &row : rows)
        all += '\0' + row;
    return all;
}

}  // namespace

class PngRowsTest : public QObject {
    Q_OBJECT
private slots:
    // Runs around deflate's limits (3 and 258 bytes), lines repeated, lines
    // too long to be referred back to, and the smallest lines.
    void linesComeBackUnchanged_data()
    {
        QTest::addColumn<int>("stride");
        QTest::addColumn<QString>("kind");
        for (int stride : {1, 2, 3, 4, 257, 258, 259, 260, 261, 262, 516, 517, 1601, 4801, 33000}) {
            for (const char *kind : {"blank", "runs", "noise", "repeats"})
                QTest::addRow("%d %s", stride, kind) << stride << QString::fromLatin1(kind);
        }
    }

    void linesComeBackUnchanged()
    {
        QFETCH(int, stride);
        QFETCH(QString, kind);
        QRandomGenerator rng(uint(stride) * 7 + uint(kind.size()));
        std::vector<QByteArray> rows;
        for (int y = 0; y < 12; ++y) {
            QByteArray row(stride, char(0xff));
            if (kind == QLatin1String("runs")) {
                for (int x = 0; x < stride;) {
                    const int length = 1 + int(rng.bounded(300));
                    row.replace(x, qMin(length, stride - x), QByteArray(qMin(length, stride - x), char(rng.bounded(4))));
                    x += length;
                }
            } else if (kind == QLatin1String("noise")) {
                for (char &c : row)
                    c = char(rng.bounded(256));
            } else if (kind == QLatin1String("repeats") && y % 4 == 0) {
                row[int(rng.bounded(stride))] = char(rng.bounded(256));
            }
            rows.push_back(kind == QLatin1String("repeats") && y % 4 != 0 ? rows.back() : row);
        }
        QCOMPARE(roundTrip(rows, stride), filtered(rows));
    }

    void noLinesAtAll()
    {
        QCOMPARE(roundTrip({}, 10), QByteArray());
    }

    // A blank page is mostly references: far smaller than its pixels.
    void blankLinesCostLittle()
    {
        std::vector<QByteArray> rows(2000, QByteArray(1601, '\0'));
        PngRows png(1601);
        for (const QByteArray &row : rows)
            png.addRow(reinterpret_cast<const uchar *>(row.constData()));
        png.finish();
        QVERIFY2(png.size() < 2000 * 30, qPrintable(QString::number(png.size())));
    }

    // Lines go out as they come: a picture far taller than memory would
    // hold whole (here 160 MB of lines) leaves only what was not taken.
    void aTallPictureIsHeldInPiecesOnly()
    {
        const int stride = 1600;
        const int lines = 100000;
        QByteArray row(stride, '\0');
        PngRows png(stride);
        const long before = ResidentMemory::kib();
        long most = before;
        size_t total = 0;
        for (int y = 0; y < lines; ++y) {
            // Notes here and there, so that not every line repeats.
            row[(y * 37) % stride] = char(y % 200);
            QVERIFY(png.addRow(reinterpret_cast<const uchar *>(row.constData())));
            if (png.size() >= 1 << 16) {
                total += png.size();
                png.clear();
            }
            if (y % 5000 == 0)
                most = qMax(most, ResidentMemory::kib());
        }
        QVERIFY(png.finish());
        total += png.size();
        QVERIFY2(total > 0 && total < size_t(lines) * stride / 20, qPrintable(QString::number(total)));
        if (ResidentMemory::kMeasurable)
            QVERIFY2(most - before < 16 * 1024, qPrintable(QStringLiteral("%1 KiB more").arg(most - before)));
    }
};

DZQ_REGISTER_TEST(PngRowsTest)

#include "PngRowsTest.moc"
