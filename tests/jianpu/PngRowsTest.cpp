#include "ResidentMemory.h"
#include "TestMain.h"

#include "jianpu/PngRows.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

// How a line goes in: as a line, or as the last one again.
enum class Given { Row, Repeat };

// Compresses the lines and inflates them again with zlib (through
// qUncompress, which wants the size in front, and checks the sum), then
// undoes the filters: the lines as a reader of the picture gets them.
// Fails the test on a filter other than none or up.
std::vector<QByteArray> roundTrip(const std::vector<QByteArray> &rows, int stride,
                                  const std::vector<Given> &given = {})
{
    PngRows png(stride);
    QByteArray stream;
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool repeat = i < given.size() && given[i] == Given::Repeat;
        if (!(repeat ? png.repeatRow() : png.addRow(reinterpret_cast<const uchar *>(rows[i].constData()))))
            return {};
        // Taken in pieces, as the PNG writer takes them.
        if (png.size() > 100) {
            stream.append(reinterpret_cast<const char *>(png.data()), qsizetype(png.size()));
            png.clear();
        }
    }
    if (!png.finish())
        return {};
    stream.append(reinterpret_cast<const char *>(png.data()), qsizetype(png.size()));
    const qsizetype expected = qsizetype(rows.size()) * (stride + 1);
    QByteArray sized(4, '\0');
    sized[0] = char(expected >> 24);
    sized[1] = char(expected >> 16);
    sized[2] = char(expected >> 8);
    sized[3] = char(expected);
    const QByteArray bytes = qUncompress(sized + stream);
    std::vector<QByteArray> lines;
    if (bytes.size() != expected)
        return lines;
    QByteArray above(stride, '\0');
    for (qsizetype at = 0; at < bytes.size(); at += stride + 1) {
        const char filter = bytes[at];
        QByteArray line = bytes.mid(at + 1, stride);
        if (filter == 2) {
            for (int x = 0; x < stride; ++x)
                line[x] = char(line[x] + above[x]);
        } else if (filter != 0) {
            return {};
        }
        lines.push_back(line);
        above = line;
    }
    return lines;
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
        QCOMPARE(roundTrip(rows, stride), rows);
    }

    // Runs of repeated lines, shorter and longer than those worth a block of
    // their own, given as lines or as repeats, at the start, between other
    // lines and at the end; at widths around deflate's longest copy.
    void repeatedLinesComeBackUnchanged_data()
    {
        QTest::addColumn<int>("stride");
        QTest::addColumn<bool>("asRepeats");
        for (int stride : {1, 2, 3, 4, 5, 258, 259, 260, 261, 262, 1600, 4800, 40000}) {
            QTest::addRow("%d, lines", stride) << stride << false;
            QTest::addRow("%d, repeats", stride) << stride << true;
        }
    }

    void repeatedLinesComeBackUnchanged()
    {
        QFETCH(int, stride);
        QFETCH(bool, asRepeats);
        QRandomGenerator rng{quint32(stride)};
        std::vector<QByteArray> rows;
        std::vector<Given> given;
        for (int run : {5, 1, 2, 3, 4, 9, 0, 40, 1, 7}) {
            QByteArray row(stride, char(0xff));
            for (int i = 0; i < 1 + stride / 50; ++i)
                row[int(rng.bounded(stride))] = char(rng.bounded(256));
            rows.push_back(row);
            given.push_back(Given::Row);
            for (int i = 0; i < run; ++i) {
                rows.push_back(row);
                given.push_back(asRepeats ? Given::Repeat : Given::Row);
            }
        }
        QCOMPARE(roundTrip(rows, stride, given), rows);
    }

    // The check sum goes round its modulus many times over a long run.
    void aLongRunKeepsTheCheckSum()
    {
        for (int stride : {1, 3, 700}) {
            std::vector<QByteArray> rows(stride == 700 ? 5000 : 200000, QByteArray(stride, char(0x9c)));
            rows.front()[0] = 1;
            QCOMPARE(roundTrip(rows, stride), rows);
        }
    }

    void noLinesAtAll()
    {
        QCOMPARE(roundTrip({}, 10), std::vector<QByteArray>());
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
