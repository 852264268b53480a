#include "TestMain.h"

#include "../platform/AudioAnalysis.h"

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

    // A file that is no sound font is refused before anything is written;
    // one that begins as a font but is cut short fails to load, also with
    // nothing written and the same message.
    void brokenFontsAreRefused()
    {
        const QString small = AudioAnalysis::smallFont();
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        QFile s(score);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("KC8TZ\r\n");
        s.close();
        QStringList broken;
        QFile text(dir.filePath("notes.sf2"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("这不是音色库\n");
        text.close();
        broken << text.fileName() << dir.filePath("missing.sf2") << dir.path();
        if (!small.isEmpty()) {
            QFile whole(small);
            QVERIFY(whole.open(QIODevice::ReadOnly));
            QFile cut(dir.filePath("cut.sf2"));
            QVERIFY(cut.open(QIODevice::WriteOnly));
            cut.write(whole.read(whole.size() / 2));
            cut.close();
            broken << cut.fileName();
        }
        for (const QString &font : broken) {
            const QString output = dir.filePath("out.wav");
            const Rendered r = renderWav(score, output, font, dir.path());
            QVERIFY2(r.status == 1, qPrintable(font));
            QVERIFY2(r.err.contains(QStringLiteral("不是可用的音色库")), qPrintable(r.err));
            QVERIFY2(!QFileInfo::exists(output), qPrintable(font));
        }
        // Only a WAV export has a use for a font.
        QString out, err;
        QTextStream o(&out), e(&err);
        const int status = RenderCommand::run({"dzq", "--render", score, "-o", dir.filePath("a.mid"), "--soundfont",
                                               small.isEmpty() ? text.fileName() : small},
                                              dir.path(), o, e);
        QCOMPARE(status, 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("a.mid")));
    }
};

DZQ_REGISTER_TEST(SoundFontRenderTest)

#include "SoundFontRenderTest.moc"
