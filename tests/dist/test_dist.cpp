#include <QApplication>

#include "TestMain.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

namespace {

QByteArray distFile(const QString &name)
{
    QFile file(QStringLiteral(DZQ_SOURCE_DIR "/dist/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first element of each name in the metainfo: its attributes and all
// the text inside it.
struct Element {
    QXmlStreamAttributes attributes;
    QString text;
};
QHash<QString, Element> metainfo()
{
    QHash<QString, Element> first;
    QStringList open;  // names of the open elements that were the first of their name
    QXmlStreamReader xml(distFile(QStringLiteral("io.github.quorvane.dzq.metainfo.xml")));
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!first.contains(xml.name().toString())) {
                first[xml.name().toString()].attributes = xml.attributes();
                open << xml.name().toString();
            } else {
                open << QString();
            }
            break;
        case QXmlStreamReader::EndElement:
            open.removeLast();
            break;
        case QXmlStreamReader::Characters:
            for (const QString &name : open)
                if (!name.isEmpty())
                    first[name].text += xml.text();
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        first.clear();
    return first;
}

}  // namespace

class DistTest : public QObject {
    Q_OBJECT
private slots:
    // The icon drawn at three times its size with the canvas in the middle:
    // nothing of it may lie outside the canvas, where a desktop cuts it off.
    void iconStaysOnItsCanvas()
    {
        QSvgRenderer icon(distFile(QStringLiteral("io.github.quorvane.dzq.svg")));
        QVERIFY(icon.isValid());
        const QRectF canvas = icon.viewBoxF();
        QCOMPARE(canvas, QRectF(0, 0, 128, 128));
        QImage image(3 * 128, 3 * 128, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.translate(128, 128);
            icon.render(&p, QRectF(0, 0, 128, 128));
        }
        int inside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) == 0)
                    continue;
                const bool onCanvas = x >= 128 && x < 256 && y >= 128 && y < 256;
                QVERIFY2(onCanvas, qPrintable(QStringLiteral("drawn at %1, %2 of the icon").arg(x - 128).arg(y - 128)));
                ++inside;
            }
        }
        QVERIFY(inside > 128 * 128 / 3);
    }

    // What a software centre shows besides the texts.
    void metainfoTellsLicenceDeveloperRatingAndRelease()
    {
        const QHash<QString, Element> info = metainfo();
        QVERIFY(info.contains("component"));
        QCOMPARE(info["project_license"].text, QString("GPL-3.0-or-later"));
        QVERIFY(licenceIsGpl3());
        QVERIFY(!info["developer_name"].text.trimmed().isEmpty());
        QCOMPARE(info["content_rating"].attributes.value("type"), QString("oars-1.1"));
        // The newest release is the version the program says it is.
        const Element release = info["release"];
        QCOMPARE(release.attributes.value("version"), QString(DZQ_PROJECT_VERSION));
        QVERIFY(QDate::fromString(release.attributes.value("date").toString(), Qt::ISODate).isValid());
        QVERIFY(!release.text.trimmed().isEmpty());
    }

    // Opened for MIDI files by desktops and software centres alike.
    void midiFilesOpenInTheProgram()
    {
        const QString entry = QString::fromUtf8(distFile(QStringLiteral("io.github.quorvane.dzq.desktop")));
        static const QRegularExpression line(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption);
        QStringList types = line.match(entry).captured(1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        types.sort();
        QCOMPARE(types, (QStringList{"audio/midi", "audio/x-midi"}));
        QVERIFY(entry.contains(QStringLiteral("\nExec=dzq %f\n")));

        QStringList provided;
        QXmlStreamReader xml(distFile(QStringLiteral("io.github.quorvane.dzq.metainfo.xml")));
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("mediatype"))
                provided << xml.readElementText();
        }
        provided.sort();
        QCOMPARE(provided, types);
    }

    // The screenshot a software centre fetches is the one kept in dist/.
    void metainfoShowsHomepageAndScreenshot()
    {
        const QHash<QString, Element> info = metainfo();
        QCOMPARE(info["url"].attributes.value("type"), QString("homepage"));
        QVERIFY(info["url"].text.startsWith("https://"));
        QCOMPARE(info["screenshot"].attributes.value("type"), QString("default"));
        const QString image = info["image"].text.trimmed();
        QVERIFY2(image.startsWith(info["url"].text.trimmed()), qPrintable(image));
        QImage shot;
        QVERIFY2(shot.loadFromData(distFile(image.section(QLatin1Char('/'), -1)), "PNG"), qPrintable(image));
        QVERIFY(shot.width() >= 620 && shot.height() >= 300);
        for (const char *word : {"MIDI keyboard", "sound font", "MIDI files"})
            QVERIFY2(info["description"].text.contains(QLatin1String(word)), word);
    }

    // Debian's files: the changelog names this version, the copyright
    // file the licence of the metainfo.
    void debianFilesAgreeWithTheProgram()
    {
        const QString changelog = QString::fromUtf8(distFile(QStringLiteral("changelog.Debian")));
        const QRegularExpression head(QStringLiteral("^dzq \\(([0-9.]+)-[0-9]+\\) unstable; urgency=\\w+\n"));
        QCOMPARE(head.match(changelog).captured(1), QString(DZQ_PROJECT_VERSION));
        const QRegularExpression trailer(QStringLiteral("\n -- [^<]+ <[^>]+>  \\w{3}, \\d{2} \\w{3} \\d{4} [0-9:]{8} [+-]\\d{4}\n$"));
        QVERIFY(trailer.match(changelog).hasMatch());

        const QString copyright = QString::fromUtf8(distFile(QStringLiteral("copyright")));
        QVERIFY(copyright.startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
        QVERIFY(copyright.contains("\nFiles: *\n"));
        QVERIFY(copyright.contains("\nLicense: GPL-3+\n"));
        QCOMPARE(metainfo()["project_license"].text, QString("GPL-3.0-or-later"));
    }

    void manPageNamesTheVersion()
    {
        const QString page = QString::fromUtf8(distFile(QStringLiteral("dzq.1")));
        const QRegularExpression th(QStringLiteral("^\\.TH DZQ 1 \"[^\"]+\" \"Quorvane ([^\"]+)\""),
                                    QRegularExpression::MultilineOption);
        QCOMPARE(th.match(page).captured(1), QString(DZQ_PROJECT_VERSION));
        // A text line starting with a dot or a quote would be read as a request.
        for (const QString &line : page.split(QLatin1Char('\n'))) {
            static const QRegularExpression request(QStringLiteral("^[.'](\\\\\"|[A-Za-z]{1,2}( |$))"));
            if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
                QVERIFY2(request.match(line).hasMatch(), qPrintable(line));
        }
    }

private:
    static bool licenceIsGpl3()
    {
        QFile file(QStringLiteral(DZQ_SOURCE_DIR "/LICENSE"));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("GNU GENERAL PUBLIC LICENSE\n                       Version 3");
    }
};

DZQ_GUI_TEST_MAIN(DistTest)

#include "test_dist.moc"
