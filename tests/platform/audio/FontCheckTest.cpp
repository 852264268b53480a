#include "AudioAnalysis.h"
#include "BrokenFontRig.h"
#include "TestMain.h"

#include "platform/audio/FontCheck.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(FontCheck::Verdict)

// Which files the synthesizer may take as its sound font, before it does.
class FontCheckTest : public QObject {
    Q_OBJECT
private slots:
    void verdicts_data()
    {
        using V = FontCheck::Verdict;
        QTest::addColumn<QString>("kind");
        QTest::addColumn<V>("verdict");
        QTest::newRow("a whole font") << "whole" << V::Usable;
        QTest::newRow("a compressed font (SF3)") << "sf3" << V::Usable;
        QTest::newRow("sample chunk of size 0") << "smpl0" << V::Broken;
        QTest::newRow("sample chunk of size 1") << "smpl1" << V::Broken;
        QTest::newRow("sample chunk of size 3") << "smpl3" << V::Broken;
        QTest::newRow("samples all zero") << "zeros" << V::Broken;
        QTest::newRow("cut in half") << "cut" << V::Broken;
        QTest::newRow("text named as a font") << "text" << V::Broken;
        QTest::newRow("empty file") << "empty" << V::Broken;
        QTest::newRow("missing") << "missing" << V::Missing;
        QTest::newRow("link to nothing") << "link" << V::Missing;
        QTest::newRow("folder") << "folder" << V::NotAFile;
    }

    void verdicts()
    {
        QFETCH(QString, kind);
        QFETCH(FontCheck::Verdict, verdict);
        const QString small = AudioAnalysis::smallFont();
        QTemporaryDir dir;
        QString path;
        if (kind == "whole") {
            path = small;
        } else if (kind == "sf3") {
            path = "/usr/share/sounds/sf3/MuseScore_General_Lite.sf3";
            if (!QFileInfo(path).isFile())
                QSKIP("no SF3 font installed (musescore-general-soundfont-lite)");
        } else {
            path = makeBrokenFont(dir.path(), kind, small);
        }
        if (path.isEmpty())
            QSKIP("TimGM6mb is not installed");
        QCOMPARE(FontCheck::examine(path), verdict);
    }

    // Each refusal says what is wrong, with the path as given.
    void refusalTexts()
    {
        using V = FontCheck::Verdict;
        const QString path = "/f/x.sf2";
        QCOMPARE(FontCheck::refusalText(path, V::Missing), QString("找不到音色库文件“/f/x.sf2”。"));
        QCOMPARE(FontCheck::refusalText(path, V::NotAFile),
                 QString("“/f/x.sf2”不是文件，不能用作音色库（SF2或SF3文件）。"));
        QCOMPARE(FontCheck::refusalText(path, V::Broken),
                 QString("文件“/f/x.sf2”不是可用的音色库（SF2或SF3文件），或者已经损坏。"));
    }
};

DZQ_REGISTER_TEST(FontCheckTest)
#include "FontCheckTest.moc"
