#include "TestMain.h"

#include "AudioAnalysis.h"
#include "BrokenFontRig.h"
#include "ProgramRun.h"

#include "headless/RenderCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <sndfile.h>

#include <cmath>

namespace {

struct Rendered {
    int status = -1;
    QString err;
    QVector<float> left;  // the left channel
};

Rendered renderWav(const QString &score, const QString &output, const QString &font, const QString &folder)
{
    Rendered r;
    QString out;
    QTextStream outStream(&out);
    QTextStream errStream(&r.err);
    QStringList args{"dzq", "--render", score, "-o", output};
    if (!font.isEmpty())
        args << "--soundfont" << font;
    r.status = RenderCommand::run(args, folder, outStream, errStream);
    errStream.flush();
    SF_INFO info = {};
    SNDFILE *f = sf_open(QFile::encodeName(output).constData(), SFM_READ, &info);
    if (!f)
        return r;
    QVector<float> frames(int(info.frames) * info.channels);
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    for (int i = 0; i < frames.size(); i += info.channels)
        r.left << frames[i];
    return r;
}

// Power of one frequency over a stretch (Goertzel).
double powerAt(const QVector<float> &x, int from, int length, double hz)
{
    const double w = 2 * M_PI * hz / 48000.0, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (int i = from; i < from + length; ++i) {
        const double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

}  // namespace

// "--render … .wav --soundfont FONT": the font chosen is the one heard.
class SoundFontRenderTest : public QObject {
    Q_OBJECT
private slots:
    void twoFontsGiveDifferentAudioAtTheSamePitch()
    {
        const QString small = AudioAnalysis::smallFont(), large = AudioAnalysis::largeFont();
        if (small.isEmpty() || large.isEmpty())
            QSKIP("needs both TimGM6mb and FluidR3_GM (fluid-soundfont-gm, timgm6mb-soundfont)");
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        QFile f(score);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KC8TZ\r\n");  // one middle C
        f.close();
        QVector<float> heard[2];
        const QString fonts[2] = {small, large};
        for (int i = 0; i < 2; ++i) {
            const Rendered r = renderWav(score, dir.filePath(QString("out%1.wav").arg(i)), fonts[i], dir.path());
            QVERIFY2(r.status == 0, qPrintable(r.err));
            QVERIFY(AudioAnalysis::peak(r.left) > 0.01f);
            // The note's pitch stands out from the semitones either side.
            const double c4 = 261.63, semitone = std::pow(2.0, 1.0 / 12);
            const double at = powerAt(r.left, 2400, 24000, c4);
            const double beside =
                qMax(powerAt(r.left, 2400, 24000, c4 * semitone), powerAt(r.left, 2400, 24000, c4 / semitone));
            QVERIFY2(at > 10 * beside, qPrintable(QString("%1 %2").arg(at).arg(beside)));
            heard[i] = r.left;
        }
        QCOMPARE(heard[0].size(), heard[1].size());
        QVERIFY(heard[0] != heard[1]);
    }

    // A file that is no usable sound font is refused before anything is
    // written, with one message saying what is wrong: one without sample
    // data, or with silent ones, as one that is cut short or no font at all.
    void brokenFontsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        const QString broken = QStringLiteral("不是可用的音色库");
        QTest::newRow("text") << "text" << broken;
        QTest::newRow("missing") << "missing" << QStringLiteral("找不到音色库文件");
        QTest::newRow("folder") << "folder" << QStringLiteral("不是文件，不能用作音色库");
        QTest::newRow("cut in half") << "cut" << broken;
        QTest::newRow("sample chunk of size 0") << "smpl0" << broken;
        QTest::newRow("sample chunk of size 1") << "smpl1" << broken;
        QTest::newRow("sample chunk of size 3") << "smpl3" << broken;
        QTest::newRow("silent samples") << "zeros" << broken;
        QTest::newRow("damaged preset table") << "presets" << broken;
    }

    void brokenFontsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        QFile s(score);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("KC8TZ\r\n");
        s.close();
        const QString font = makeBrokenFont(dir.path(), kind, AudioAnalysis::smallFont());
        if (font.isEmpty())
            QSKIP("needs TimGM6mb (timgm6mb-soundfont)");
        const QString output = dir.filePath("out.wav");
        const Rendered r = renderWav(score, output, font, dir.path());
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(says) && r.err.contains(QDir::toNativeSeparators(font)), qPrintable(r.err));
        QVERIFY2(!QFileInfo::exists(output), qPrintable(font));

        // The program itself says it once; the sound libraries say nothing.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.path());
        const ProgramRun run =
            runProgram({"--render", score, "-o", output, "--soundfont", font}, env);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err.trimmed(), r.err.trimmed());
        QVERIFY(!QFileInfo::exists(output));
    }

    // Only a WAV export has a use for a font.
    void fontOnlyForWav()
    {
        const QString small = AudioAnalysis::smallFont();
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        QFile s(score);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("KC8TZ\r\n");
        s.close();
        const QString text = makeBrokenFont(dir.path(), "text");
        QString out, err;
        QTextStream o(&out), e(&err);
        const int status = RenderCommand::run({"dzq", "--render", score, "-o", dir.filePath("a.mid"), "--soundfont",
                                               small.isEmpty() ? text : small},
                                              dir.path(), o, e);
        QCOMPARE(status, 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("a.mid")));
    }
};

DZQ_REGISTER_TEST(SoundFontRenderTest)

#include "SoundFontRenderTest.moc"
