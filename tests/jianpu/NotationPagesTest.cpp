#include <QApplication>

#include "MainWindowRig.h"
#include "ResidentMemory.h"
#include "TestMain.h"

#include "headless/RenderCommand.h"
#include "jianpu/BandedPng.h"
#include "jianpu/NotationExport.h"
#include "jianpu/NotationView.h"
#include "jianpu/NotationWindow.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QXmlStreamReader>

#include <cmath>
#include <random>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The picture of a score laid out for picture files.
NotationPicture pictureOf(const QString &score)
{
    NotationPicture picture;
    NotationPicture::Header header;
    header.title = QStringLiteral("长谱");
    picture.setSheet(Notation::read(score), header);
    picture.layout(NotationExport::kPictureWidth);
    return picture;
}

// Quarter notes, 24 to a row at the picture width: 50 rows are 1200 of them.
QString rowsOfNotes(int notes)
{
    return QStringLiteral("KC8").repeated(notes) + QStringLiteral("TZ");
}

// One row of a picture as the whole picture paints it, at twice the pixels.
QImage rowImage(const NotationPicture &picture, int row)
{
    QImage image(int(2 * NotationExport::kPictureWidth), int(2 * picture.rowHeight()), QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    QPainter p(&image);
    picture.paintRow(p, row, 0);
    p.end();
    image.setDevicePixelRatio(1);
    return image;
}

QImage pixels(const QImage &image, const QRect &rect = QRect())
{
    QImage copy = (rect.isNull() ? image : image.copy(rect)).convertToFormat(QImage::Format_RGB32);
    copy.setDevicePixelRatio(1);
    return copy;
}

QImage whiteImage(const QSize &size)
{
    QImage white(size, QImage::Format_RGB32);
    white.fill(Qt::white);
    return white;
}

QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run render(const QStringList &arguments)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = RenderCommand::run(QStringList{QStringLiteral("dzq")} + arguments, QString(), out, err,
                                  &NotationExport::renderCommand);
    out.flush();
    err.flush();
    return r;
}

}  // namespace

class NotationPagesTest : public QObject {
    Q_OBJECT
private slots:
    // Painted band by band, the file holds the very pixels of one painting:
    // with a palette for few colours, as RGB for many; bands of any height.
    void bandsMakeThePictureOfOnePainting_data()
    {
        QTest::addColumn<bool>("manyColours");
        QTest::addColumn<QVector<int>>("bandTops");
        for (bool many : {false, true}) {
            const char *colours = many ? "many colours" : "few colours";
            QTest::addRow("%s, one band", colours) << many << QVector<int>{0};
            QTest::addRow("%s, uneven bands", colours) << many << QVector<int>{0, 7, 100, 101, 333};
            QTest::addRow("%s, bands out of reach", colours) << many << QVector<int>{0, 50, 5000};
        }
    }

    void bandsMakeThePictureOfOnePainting()
    {
        QFETCH(bool, manyColours);
        QFETCH(QVector<int>, bandTops);
        const QSize size(301, 611);  // over two bands of the writer's own
        auto paint = [manyColours](QPainter &p, const QRectF &) {
            p.setRenderHint(QPainter::Antialiasing);
            if (manyColours) {
                QLinearGradient g(0, 0, 150, 300);
                g.setColorAt(0, Qt::red);
                g.setColorAt(1, Qt::blue);
                p.fillRect(QRectF(10, 10, 130, 280), g);
            }
            p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.3));
            // Across bands (a slanting thin line is not drawn the same when
            // cut: notation has none, and its rows never cross bands).
            p.drawEllipse(QRectF(20, 40, 90, 190));
            p.drawLine(QPointF(12.5, 3), QPointF(12.5, 300));
            QPainterPath tie;
            tie.moveTo(5, 3);
            tie.quadTo(140, 100, 140, 300);
            p.drawPath(tie);
            QFont font(QStringLiteral("WenQuanYi Micro Hei"));
            font.setPixelSize(20);
            p.setFont(font);
            if (manyColours)
                p.setPen(QColor(0x1f, 0x4e, 0x8c));
            p.drawText(QRectF(0, 45, 150, 30), Qt::AlignCenter, QStringLiteral("1=C 简谱 ♩"));
        };
        QImage whole(size, QImage::Format_RGB32);
        whole.setDevicePixelRatio(2);
        whole.fill(Qt::white);
        {
            QPainter p(&whole);
            paint(p, QRectF(0, 0, 150.5, 305.5));
        }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        BandedPng png;
        QString error;
        QVERIFY(png.write(buffer, size, 2, bandTops, paint, &error));
        // The writer keeps its buffers: a second picture is the same.
        QBuffer again;
        again.open(QIODevice::WriteOnly);
        QVERIFY(png.write(again, size, 2, bandTops, paint, &error));
        QCOMPARE(again.data(), buffer.data());

        const QImage read = QImage::fromData(buffer.data(), "PNG");
        QCOMPARE(read.size(), size);
        QCOMPARE(read.format() == QImage::Format_Indexed8, !manyColours);
        QCOMPARE(pixels(read), pixels(whole));
    }

    // A device that takes nothing, or a disk that is full: the writer says
    // why, whether it writes as it goes (RGB) or at the end (a palette).
    void aFailingDeviceIsReported_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("manyColours");
        for (const char *device : {"read-only", "/dev/full"}) {
            QTest::addRow("%s, few colours", device) << device << false;
            QTest::addRow("%s, many colours", device) << device << true;
        }
    }

    void aFailingDeviceIsReported()
    {
        QFETCH(QString, device);
        QFETCH(bool, manyColours);
        QBuffer readOnly;
        QFile full(device);
        QIODevice *out = &readOnly;
        if (device == QLatin1String("read-only")) {
            readOnly.open(QIODevice::ReadOnly);
        } else {
            if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                QSKIP("no /dev/full here");
            out = &full;
        }
        BandedPng png;
        QString error;
        auto paint = [manyColours](QPainter &p, const QRectF &band) {
            for (int y = int(band.top()); y < band.bottom(); ++y)
                p.fillRect(QRectF(0, y, 400, 1), manyColours ? QColor::fromRgb(QRgb(y * 97)) : QColor(Qt::black));
        };
        QVERIFY(!png.write(*out, QSize(400, 600), 1, {0}, paint, &error));
        QCOMPARE(error, out->errorString());
        QVERIFY(!error.isEmpty());
    }

    // The picture is never held whole: a picture far taller than the
    // memory it takes (here 96 MB as indices, four times that painted)
    // grows the program by a few bands at most.
    void aTallPictureIsWrittenInBands()
    {
        const QSize size(1600, 60000);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const long before = ResidentMemory::kib();
        long most = before;
        auto paint = [&](QPainter &p, const QRectF &band) {
            most = qMax(most, ResidentMemory::kib());
            p.setPen(QPen(Qt::black, 1.3));
            for (qreal y = std::ceil(band.top() / 100) * 100; y < band.bottom(); y += 100)
                p.drawText(QPointF(10 + y / 100, y + 20), QStringLiteral("1 2 3 | %1").arg(y));
        };
        BandedPng png;
        QString error;
        QVERIFY2(png.write(buffer, size, 1, {0}, paint, &error), qPrintable(error));
        if (ResidentMemory::kMeasurable)
            QVERIFY2(most - before < 40 * 1024, qPrintable(QStringLiteral("%1 KiB more").arg(most - before)));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        const QImage read = QImage::fromData(buffer.data(), "PNG");
        QImageReader::setAllocationLimit(limit);
        QCOMPARE(read.size(), size);
        QCOMPARE(read.format(), QImage::Format_Indexed8);
        QVERIFY(read.pixel(5, 5) == qRgb(255, 255, 255));
    }

    // Up to 50 rows one picture, as always; beyond, numbered pictures of 50
    // rows, all of one size, whose rows are those of the whole picture.
    void longScoresTakeNumberedPictures()
    {
        QCOMPARE(pictureOf(rowsOfNotes(1200)).rowCount(), NotationExport::kRowsPerPicture);
        QTemporaryDir dir;
        NotationPicture fits = pictureOf(rowsOfNotes(1200));
        NotationExport::Result r = NotationExport::write(dir.filePath("fits.png"), fits);
        QVERIFY2(r.written, qPrintable(r.error));
        QCOMPARE(r.files, QStringList{dir.filePath("fits.png")});
        QCOMPARE(QImage(dir.filePath("fits.png")).size(), QSize(1600, int(2 * fits.height())));

        NotationPicture picture = pictureOf(rowsOfNotes(2424));  // 101 rows: three pictures
        QCOMPARE(picture.rowCount(), 101);
        r = NotationExport::write(dir.filePath("long.png"), picture);
        QVERIFY2(r.written, qPrintable(r.error));
        QCOMPARE(r.files, NotationExport::pictureFiles(dir.filePath("long.png"), 3));
        QCOMPARE(QFileInfo(r.files[2]).fileName(), QStringLiteral("long-3.png"));
        QVERIFY(!QFile::exists(dir.filePath("long.png")));
        const qreal pageHeight =
            picture.headerHeight() + NotationExport::kRowsPerPicture * picture.rowHeight() + NotationExport::kPageFooter;
        const int rowPixels = int(2 * picture.rowHeight());
        for (int page = 0; page < 3; ++page) {
            const QImage image(r.files[page]);
            QCOMPARE(image.size(), QSize(1600, int(2 * pageHeight)));
            const int top = int(2 * (page == 0 ? picture.headerHeight() : NotationExport::kPageTop));
            const int row = page * NotationExport::kRowsPerPicture;
            QCOMPARE(pixels(image, QRect(0, top, 1600, rowPixels)), pixels(rowImage(picture, row)));
            // The page number at the foot.
            QVERIFY(pixels(image, QRect(0, image.height() - 48, 1600, 48)) != whiteImage(QSize(1600, 48)));
        }
        // The last page: its one row, then white down to the foot.
        const QImage last = pixels(QImage(r.files[2]), QRect(0, int(2 * (NotationExport::kPageTop + picture.rowHeight())),
                                                             1600, 200));
        QCOMPARE(last, whiteImage(last.size()));

        // SVG the same way, each picture numbered; PDF stays one file of pages.
        r = NotationExport::write(dir.filePath("long.svg"), picture);
        QCOMPARE(r.files.size(), 3);
        QVERIFY(fileBytes(r.files[1]).contains(QStringLiteral("第2页/共3页").toUtf8()));
        r = NotationExport::write(dir.filePath("long.pdf"), picture);
        QCOMPARE(r.files, QStringList{dir.filePath("long.pdf")});
    }

    // All pictures or none: a failure or a cancel leaves what was there.
    void picturesAreWrittenAllOrNone()
    {
        QTemporaryDir dir;
        NotationPicture picture = pictureOf(rowsOfNotes(2424));
        QFile old(dir.filePath("x-1.png"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x-3.png")));
        NotationExport::Result r = NotationExport::write(dir.filePath("x.png"), picture);
        QVERIFY(!r.written);
        QVERIFY2(r.error.contains(QStringLiteral("x-3.png")), qPrintable(r.error));
        QCOMPARE(fileBytes(dir.filePath("x-1.png")), QByteArray("old"));
        QCOMPARE(filesIn(dir), QStringList{QStringLiteral("x-1.png")});

        for (int cancelAt : {0, 34}) {
            QVector<int> percents;
            r = NotationExport::write(dir.filePath("y.png"), picture, [&](int percent) {
                percents << percent;
                return percent < cancelAt;
            });
            QVERIFY(r.cancelled);
            QVERIFY(!r.written);
            QVERIFY(r.error.isEmpty());
            QCOMPARE(filesIn(dir), QStringList{QStringLiteral("x-1.png")});
        }
        QVector<int> percents;
        r = NotationExport::write(dir.filePath("z.svg"), picture, [&](int percent) {
            percents << percent;
            return true;
        });
        QVERIFY(r.written);
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
    }

    // A shorter export of the same name takes away the pages of a longer
    // one beyond its own, all of them for a single picture; only names of
    // its own making holding such a picture, and only once it is written.
    void anEarlierLongerExportLeavesNoPages_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("png") << "png";
        QTest::newRow("svg") << "svg";
    }
    void anEarlierLongerExportLeavesNoPages()
    {
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        const auto name = [&](const QString &file) { return dir.filePath(file + QLatin1Char('.') + suffix); };
        NotationPicture three = pictureOf(rowsOfNotes(2424));
        QVERIFY(NotationExport::write(name("x"), three).written);
        QVERIFY(QFile::copy(name("x-3"), name("x-12")));  // a gap: pages 4..11 gone
        const QStringList foreign{"x-07", "x-0", "x-4x", "xx-5", "x-5-1", "X-6"};
        for (const QString &other : foreign)
            QVERIFY(QFile::copy(name("x-3"), name(other)));
        QFile text(name("x-8"));  // our name, but no such picture
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
        text.close();
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(name("x-9")).fileName()));

        NotationPicture two = pictureOf(rowsOfNotes(1224));
        NotationExport::Result r = NotationExport::write(name("x"), two);
        QVERIFY(r.written);
        QCOMPARE(r.files, NotationExport::pictureFiles(name("x"), 2));
        QCOMPARE(r.removed, (QStringList{name("x-3"), name("x-12")}));
        QCOMPARE(NotationExport::removedText(r.removed),
                 QStringLiteral("“%1”至“%2”（共2张）")
                     .arg(QDir::toNativeSeparators(name("x-3")), QDir::toNativeSeparators(name("x-12"))));
        for (const QString &other : foreign + QStringList{"x-8", "x-9"})
            QVERIFY2(QFileInfo::exists(name(other)), qPrintable(other));

        // Failing, a single picture leaves the pages as they were.
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(name("x")).fileName()));
        NotationPicture one = pictureOf(rowsOfNotes(10));
        r = NotationExport::write(name("x"), one);
        QVERIFY(!r.written);
        QVERIFY(QFile::exists(name("x-1")) && QFile::exists(name("x-2")));
        QVERIFY(QDir(dir.path()).rmdir(QFileInfo(name("x")).fileName()));
        r = NotationExport::write(name("x"), one);
        QVERIFY(r.written);
        QCOMPARE(r.removed, (QStringList{name("x-1"), name("x-2")}));
        QVERIFY(QFile::exists(name("x")));
        QVERIFY(NotationExport::stalePictures(name("x"), 1).isEmpty());
        QVERIFY(NotationExport::stalePictures(dir.filePath("x.pdf"), 1).isEmpty());
    }

    // Whatever the score and the file names hold, the SVG and MusicXML
    // files are XML a reader takes.
    void controlCharactersLeaveValidXml_data()
    {
        QTest::addColumn<QByteArray>("score");
        QTest::addColumn<QString>("suffix");
        QByteArray controls = "KC8";
        for (int c = 0; c < 32; ++c)
            controls += char(c);
        controls += "KD8TZ";
        QByteArray noise;
        std::mt19937 rng(17);
        for (int i = 0; i < 3000; ++i)
            noise += char(rng() & 0xFF);
        for (const char *suffix : {"svg", "musicxml"}) {
            QTest::addRow("U+0011, %s", suffix) << QByteArray("KC8\x11KD8TZ") << suffix;
            QTest::addRow("all controls, %s", suffix) << controls << suffix;
            QTest::addRow("random bytes, %s", suffix) << noise << suffix;
        }
    }
    void controlCharactersLeaveValidXml()
    {
        QFETCH(QByteArray, score);
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        const QString odd = QStringLiteral("谱\u0001\u0011\uFFFF");
        const QString scorePath = dir.filePath(odd + QStringLiteral(".txt"));
        QFile f(scorePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(score);
        f.close();
        const QString output = dir.filePath(odd + QStringLiteral(".") + suffix);
        const Run r = render({"--render", scorePath, "-o", output});
        QCOMPARE(r.status, 2);
        QXmlStreamReader xml(fileBytes(output));
        int texts = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::Characters)
                ++texts;
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(texts > 0);
    }

    // An empty score is the player's error for every kind of file: written
    // (the header, the program changes), status 2, said so.
    void anEmptyScoreIsAnErrorForEveryExport()
    {
        QTemporaryDir dir;
        const QString empty = dir.filePath("空.txt");
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\r\n");  // its one line break is no part of the score
        f.close();
        for (const char *suffix : {"pdf", "svg", "png", "musicxml", "mid"}) {
            const QString output = dir.filePath(QStringLiteral("空.") + QLatin1String(suffix));
            const Run r = render({"--render", empty, "-o", output});
            QVERIFY2(r.status == 2, suffix);
            QVERIFY2(r.err.startsWith(QStringLiteral("乐谱中出现错误，请修改！")), qPrintable(r.err));
            QVERIFY2(r.err.contains(QStringLiteral("乐谱是空的。")), qPrintable(r.err));
            QVERIFY(QFileInfo(output).size() > 0);
        }
    }

    // "保存图片" writes behind the progress box, and says what it wrote.
    void theWindowSavesBehindAProgressBox()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationWindow *w = rig.form.notationWindow();
        auto *status = w->findChild<QLabel *>(QStringLiteral("JpZt"));
        rig.t.window.setText3(rowsOfNotes(2424));
        QTemporaryDir dir;
        rig.t.dialogs.saveAnswers = {dir.filePath("长.png"), dir.filePath("取消.png")};
        w->saveClicked();
        QCOMPARE(rig.t.dialogs.progressRuns.size(), 1);
        QCOMPARE(rig.t.dialogs.progressRuns[0].label, NotationWindow::savingLabel(QStringLiteral("长.png")));
        QCOMPARE(rig.t.dialogs.progressRuns[0].percents.last(), 100);
        QVERIFY2(status->text().startsWith(QStringLiteral("简谱共3页，已保存到")), qPrintable(status->text()));
        QVERIFY(status->text().contains(QDir::toNativeSeparators(dir.filePath("长-3.png"))));
        QVERIFY(QFile::exists(dir.filePath("长-1.png")));
        // Shorter under the same name: the pages beyond it go, and it says so.
        rig.t.window.setText3(rowsOfNotes(1224));
        rig.t.dialogs.saveAnswers.prepend(dir.filePath("长.png"));
        w->saveClicked();
        QVERIFY2(status->text().endsWith(QStringLiteral("上次导出留下的1张同名图片已删除。")), qPrintable(status->text()));
        QVERIFY(!QFile::exists(dir.filePath("长-3.png")));

        rig.t.dialogs.cancelAtPercent = 0;
        w->saveClicked();
        QCOMPARE(status->text(), QStringLiteral("已取消，简谱没有保存。"));
        QVERIFY(!QFile::exists(dir.filePath("取消-1.png")));
        QCOMPARE(rig.t.dialogs.messages, QStringList());
    }

    void theCommandLineNamesThePictures()
    {
        QTemporaryDir dir;
        const QString score = dir.filePath("长.txt");
        QFile f(score);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(rowsOfNotes(2424).toLatin1());
        f.close();
        Run r = render({"--render", score, "-o", dir.filePath("长.png")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.trimmed(), QStringLiteral("已导出简谱“%1”至“%2”，共3页：606小节，4/4拍。")
                                      .arg(QDir::toNativeSeparators(dir.filePath("长-1.png")),
                                           QDir::toNativeSeparators(dir.filePath("长-3.png"))));

        // Longer than the player takes: drawn up to there, said, status 2.
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("KC8").repeated(11000) + "TZ");
        f.close();
        r = render({"--render", score, "-o", dir.filePath("太长.svg")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("乐谱太长，超过了32767个字符：简谱只画到第32766个字符")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("无法识别")));
        QVERIFY(QFile::exists(dir.filePath("太长-1.svg")));

        // A single picture of that name: the pages are gone, and it is said.
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KC8TZ");
        f.close();
        r = render({"--render", score, "-o", dir.filePath("太长.svg")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith(QStringLiteral("已删除上次导出留下的同名图片“%1”至").arg(QDir::toNativeSeparators(dir.filePath("太长-1.svg")))),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(dir.filePath("太长-1.svg")));
        QVERIFY(QFile::exists(dir.filePath("太长.svg")));
    }
};

DZQ_REGISTER_TEST(NotationPagesTest)

#include "NotationPagesTest.moc"
