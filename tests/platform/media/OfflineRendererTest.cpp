#include "AudioAnalysis.h"
#include "TestMain.h"

#include "core/MidiMessage.h"
#include "platform/media/OfflineRenderer.h"

#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

using namespace AudioAnalysis;

// The synthesizer rendered offline for real: pitch, timing on the block
// grid, level, files.
class OfflineRendererTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void middleCSoundsAtItsPitch();
    void clicksLandOnNearestBlock();
    void wavFilesRoundTrip();
    void loudestPlayingDoesNotClip_data();
    void loudestPlayingDoesNotClip();
};

namespace {

constexpr MidiMessage msg(int status, int d1, int d2 = 0)
{
    return {quint8(status), quint8(d1), quint8(d2)};
}

// The very first voice a fresh synthesizer plays rises more slowly than the
// ones after it; a warm-up note makes the clicks under test alike.
void warmUp(OfflineRenderer &r)
{
    r.schedule(0, msg(0x99, 76, 100));
}

}  // namespace

void OfflineRendererTest::initTestCase()
{
    if (smallFont().isEmpty())
        QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
}

void OfflineRendererTest::middleCSoundsAtItsPitch()
{
    OfflineRenderer::Options o;
    o.soundFont = smallFont();
    OfflineRenderer r(o);
    QVERIFY2(r.isValid(), qPrintable(r.errorString()));
    r.schedule(0, msg(0xC0, 0));
    r.schedule(0, msg(0x90, 60, 100));
    r.schedule(48000, msg(0x80, 60));
    r.schedule(48000, msg(0x91, 69, 100));  // A4 on another channel
    QVector<float> left, right;
    r.renderInto(96000, &left, &right);
    const double c4 = pitchHz(left, 12000, 8192, 48000);
    QVERIFY2(qAbs(c4 - 261.63) < 261.63 * 0.02, qPrintable(QString::number(c4)));
    const double a4 = pitchHz(left, 48000 + 12000, 8192, 48000);
    QVERIFY2(qAbs(a4 - 440.0) < 440.0 * 0.02, qPrintable(QString::number(a4)));
}

void OfflineRendererTest::clicksLandOnNearestBlock()
{
    // At 44.1 kHz, 124 ms is 5468.4 frames: the clicks at 110 ms (4851 ->
    // 4864) and 234 ms (10319.4 -> 10304) are 5440 frames apart on the grid.
    OfflineRenderer::Options o;
    o.soundFont = smallFont();
    o.sampleRate = 44100;
    OfflineRenderer r(o);
    QVERIFY(r.isValid());
    warmUp(r);
    r.scheduleNs(110'000'000, msg(0x99, 75, 120));
    r.scheduleNs(234'000'000, msg(0x99, 75, 120));
    QVector<float> left, right;
    r.renderInto(44100 / 2, &left, &right);
    const QVector<int> found = clickOnsets(left);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[1] - found[0], 5440);
    QVERIFY(found[0] >= 4864 && found[0] < 4864 + 64);
}

void OfflineRendererTest::wavFilesRoundTrip()
{
    QTemporaryDir dir;
    OfflineRenderer::Options o;
    o.soundFont = smallFont();
    for (auto format : {WavWriter::Format::Pcm16, WavWriter::Format::Float}) {
        OfflineRenderer r(o);
        r.schedule(0, msg(0x90, 60, 100));
        const QString path = dir.filePath(QStringLiteral("演奏.wav"));
        QString error;
        QVERIFY2(r.renderToWav(path, 24000, format, &error), qPrintable(error));
        SF_INFO info = {};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        QVERIFY(f);
        QCOMPARE(info.frames, sf_count_t(24000));
        QCOMPARE(info.channels, 2);
        QCOMPARE(info.samplerate, 48000);
        QCOMPARE(info.format & SF_FORMAT_SUBMASK, format == WavWriter::Format::Float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
        QVector<float> data(48000);
        QCOMPARE(sf_readf_float(f, data.data(), 24000), sf_count_t(24000));
        sf_close(f);
        QVERIFY(peak(data) > 0.01f);
    }
    // No sound font: nothing to render, and the user learns which package.
    OfflineRenderer::Options none;
    none.soundFont = dir.filePath("none.sf2");
    OfflineRenderer silent(none);
    QVERIFY(!silent.isValid());
    QString why;
    QVERIFY(!silent.renderToWav(dir.filePath("x.wav"), 4800, WavWriter::Format::Pcm16, &why));
    QVERIFY(why.contains("fluid-soundfont-gm"));
    QVERIFY(!QFile::exists(dir.filePath("x.wav")));
    // A folder that does not exist: an error, and no file.
    OfflineRenderer r(o);
    QString error;
    const QString bad = dir.filePath(QStringLiteral("missing/out.wav"));
    QVERIFY(!r.renderToWav(bad, 4800, WavWriter::Format::Pcm16, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(bad));
}

void OfflineRendererTest::loudestPlayingDoesNotClip_data()
{
    QTest::addColumn<QString>("font");
    QTest::newRow("TimGM6mb") << smallFont();
    if (!largeFont().isEmpty())
        QTest::newRow("FluidR3_GM") << largeFont();
}

void OfflineRendererTest::loudestPlayingDoesNotClip()
{
    QFETCH(QString, font);
    // The start-up voices (programs 14, 51, 78) and chord instrument (24).
    auto setUp = [](OfflineRenderer &r) {
        const int programs[6] = {14, 51, 78, 24, 24, 24};
        for (int c = 0; c < 6; ++c) {
            r.schedule(0, msg(0xB0 + c, 0, 0));
            r.schedule(0, msg(0xC0 + c, programs[c]));
        }
    };
    for (quint32 volume : {0x60006000u, 0x70007000u}) {
        OfflineRenderer::Options o;
        o.soundFont = font;
        o.waveVolume = volume;
        OfflineRenderer r(o);
        QVERIFY(r.isValid());
        setUp(r);
        // Everything at once at velocity 120: three voices, a chord, three drums.
        for (int c = 0; c < 3; ++c)
            r.schedule(64, msg(0x90 + c, 60, 120));
        const int chord[3] = {48, 52, 55};
        for (int c = 3; c < 6; ++c)
            r.schedule(64, msg(0x90 + c, chord[c - 3], 120));
        for (int drum : {36, 38, 49})
            r.schedule(64, msg(0x99, drum, 120));
        QVector<float> left, right;
        r.renderInto(96000, &left, &right);
        const float loudest = qMax(peak(left), peak(right));
        QVERIFY2(loudest < 1.0f, qPrintable(QStringLiteral("peak %1 at volume %2").arg(loudest).arg(volume, 0, 16)));
    }
    // One key at velocity 70 on the start-up voices is clearly audible.
    OfflineRenderer::Options o;
    o.soundFont = font;
    OfflineRenderer r(o);
    setUp(r);
    for (int c = 0; c < 3; ++c)
        r.schedule(64, msg(0x90 + c, 60, 70));
    QVector<float> left, right;
    r.renderInto(48000, &left, &right);
    QVERIFY2(peak(left) > 0.05f, qPrintable(QString::number(peak(left))));
}

DZQ_REGISTER_TEST(OfflineRendererTest)
#include "OfflineRendererTest.moc"
