#include "TestMain.h"

#include "platform/audio/SynthSetup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A file that begins as a sound font does; the rest does not matter here.
void writeFont(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("RIFF\x10\0\0\0sfbkLIST", 16);
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

}  // namespace

// Which sound font the program takes from the system's folders.
class SoundFontSearchTest : public QObject {
    Q_OBJECT
private slots:
    // Trees of fonts, links and other files: what is listed, in which order,
    // and which one is taken. "a -> b" makes a link; "x.txt" a text file; a
    // name ending in "!" a text file renamed as a font.
    void searchOrder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("taken");
        QTest::newRow("system choice first, sf2 before sf3")
            << QStringList{"sf3/default-GM.sf3", "sf2/FluidR3_GM.sf2", "sf2/TimGM6mb.sf2", "sf2/default-GM.sf2"}
            << QStringList{"sf2/default-GM.sf2", "sf3/default-GM.sf3", "sf2/FluidR3_GM.sf2", "sf2/TimGM6mb.sf2"}
            << "sf2/default-GM.sf2";
        QTest::newRow("default link listed once, under the link's name")
            << QStringList{"sf2/FluidR3_GM.sf2", "sf2/TimGM6mb.sf2", "sf2/default-GM.sf2 -> sf2/TimGM6mb.sf2",
                           "sf3/default-GM.sf3 -> sf2/TimGM6mb.sf2"}
            << QStringList{"sf2/default-GM.sf2", "sf2/FluidR3_GM.sf2"} << "sf2/default-GM.sf2";
        QTest::newRow("only sf3 fonts, others by name, case ignored")
            << QStringList{"sf3/zeta.sf3", "sf3/Alpha.sf3", "sf3/beta.sf3", "sf3/readme.txt"}
            << QStringList{"sf3/Alpha.sf3", "sf3/beta.sf3", "sf3/zeta.sf3"} << "sf3/Alpha.sf3";
        QTest::newRow("known fonts before other ones, in any folder")
            << QStringList{"sf2/Aaa.sf2", "sf3/TimGM6mb.sf3", "sf2/FluidR3_GM.sf2"}
            << QStringList{"sf2/FluidR3_GM.sf2", "sf3/TimGM6mb.sf3", "sf2/Aaa.sf2"} << "sf2/FluidR3_GM.sf2";
        // The text file renamed as a font is listed (its name says font) but not taken.
        QTest::newRow("broken link skipped, text renamed as font not taken")
            << QStringList{"sf2/default-GM.sf2 -> sf2/gone.sf2", "sf2/FluidR3_GM.sf2!", "sf3/Other.sf3"}
            << QStringList{"sf2/FluidR3_GM.sf2", "sf3/Other.sf3"} << "sf3/Other.sf3";
        QTest::newRow("a folder named like a font is not one")
            << QStringList{"sf2/dir.sf2/", "sf2/x.sf2"} << QStringList{"sf2/x.sf2"} << "sf2/x.sf2";
        QTest::newRow("nothing installed") << QStringList{} << QStringList{} << QString();
    }

    void searchOrder()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        QFETCH(QString, taken);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir root(dir.path());
        QVERIFY(root.mkpath("sf2") && root.mkpath("sf3"));
        for (QString file : files) {
            if (file.endsWith('/')) {
                QVERIFY(root.mkpath(file));
            } else if (file.contains(" -> ")) {
                const QStringList parts = file.split(" -> ");
                QVERIFY(QFile::link(root.filePath(parts[1]), root.filePath(parts[0])));
            } else if (file.endsWith('!')) {
                file.chop(1);
                writeText(root.filePath(file), "not a font at all\n");
            } else if (file.endsWith(".txt")) {
                writeText(root.filePath(file), "RIFF....sfbk but a text file\n");
            } else {
                writeFont(root.filePath(file));
            }
        }
        const QStringList folders{root.filePath("sf2"), root.filePath("sf3")};
        QStringList listed;
        for (const QString &path : SynthSetup::soundFontCandidates(folders))
            listed << root.relativeFilePath(path);
        QCOMPARE(listed, expected);
        const QString found = SynthSetup::findSoundFont(folders);
        QCOMPARE(found.isEmpty() ? QString() : root.relativeFilePath(found), taken);
    }

    // What counts as a sound font at first sight.
    void recognisesFontsByTheirHeader()
    {
        QTemporaryDir dir;
        const QString font = dir.filePath("a.sf2"), text = dir.filePath("b.sf2"), shortFile = dir.filePath("c.sf2"),
                      wave = dir.filePath("d.sf2");
        writeFont(font);
        writeText(text, "hello");
        writeText(shortFile, "RIFF");
        writeText(wave, QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16));
        QVERIFY(SynthSetup::looksLikeSoundFont(font));
        QVERIFY(!SynthSetup::looksLikeSoundFont(text));
        QVERIFY(!SynthSetup::looksLikeSoundFont(shortFile));
        QVERIFY(!SynthSetup::looksLikeSoundFont(wave));
        QVERIFY(!SynthSetup::looksLikeSoundFont(dir.path()));
        QVERIFY(!SynthSetup::looksLikeSoundFont(dir.filePath("missing.sf2")));
    }
};

DZQ_REGISTER_TEST(SoundFontSearchTest)

#include "SoundFontSearchTest.moc"
