#include "AudioAnalysis.h"
#include "BrokenFontRig.h"
#include "TestMain.h"

#include "core/MidiMessage.h"
#include "platform/audio/FontFile.h"
#include "platform/audio/FontSamples.h"
#include "platform/audio/ProgramCache.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/realtime/SynthGate.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fluidsynth.h>

namespace {

// A live synthesizer as the host makes it, its font loaded, and its cache.
struct CacheRig {
    SynthGate gate;
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    ProgramCache cache{gate};

    explicit CacheRig(const QString &font)
    {
        settings = SynthSetup::newSettings(44100, SynthSetup::Samples::OnDemand, ProgramCache::kSynthChannels);
        synth = new_fluid_synth(settings);
        FontFile::useFor(synth, settings);
        FontFile::ReadScope scope;
        if (fluid_synth_sfload(synth, QFile::encodeName(font).constData(), 1) != FLUID_FAILED)
            cache.open(synth, font);
    }
    ~CacheRig()
    {
        cache.close();
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
    // The message to the cache first, then to the synthesizer as the
    // callback would apply it.
    void send(int status, int data1, int data2 = 0)
    {
        const MidiMessage m{quint8(status), quint8(data1), quint8(data2)};
        cache.prepare(m);
        const int channel = status & 0x0F;
        if ((status & 0xF0) == 0xB0)
            fluid_synth_cc(synth, channel, data1, data2);
        else
            fluid_synth_program_change(synth, channel, data1);
    }
};

// A copy of `font` in `folder` whose tables point past their ends: every
// zone of the presets and instruments at generator 0xFFFF, every sample
// generator at sample 0xFFFE.
QString wildFont(const QString &folder, const QString &font)
{
    QFile in(font);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = in.readAll();
    for (const char *bags : {"pbag", "ibag"}) {
        const int at = bytes.indexOf(bags);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        for (quint32 i = 4; i + 4 <= size; i += 4)  // the first zone stays
            qToLittleEndian<quint16>(0xFFFF, bytes.data() + at + 8 + i);
    }
    const int igen = bytes.indexOf("igen");
    const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + igen + 4);
    for (quint32 i = 0; i + 4 <= size; i += 4) {
        if (qFromLittleEndian<quint16>(bytes.constData() + igen + 8 + i) == 53)
            qToLittleEndian<quint16>(0xFFFE, bytes.data() + igen + 10 + i);
    }
    const QString path = QDir(folder).filePath("wild.sf2");
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() ? path : QString();
}

}  // namespace

// Before a program's samples are loaded inside the gate, the cache reads
// them ahead from where the font's own tables place them.
class ProgramReadAheadTest : public QObject {
    Q_OBJECT
private slots:
    // The preset read ahead is the one FluidSynth gives the channel, bank
    // selects, drums and missing presets included: reading another one
    // would leave the load inside the gate to wait for the disk.
    void readsThePresetTheChannelGets_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("msb");
        QTest::addColumn<int>("lsb");
        QTest::addColumn<int>("program");
        QTest::newRow("a program of bank 0") << 0 << 0 << 0 << 40;
        QTest::newRow("a variation (bank 8)") << 1 << 8 << 0 << 4;
        QTest::newRow("LSB is not part of the bank") << 2 << 8 << 5 << 4;
        QTest::newRow("a bank the font lacks") << 3 << 50 << 0 << 19;
        QTest::newRow("a variation the font lacks") << 4 << 8 << 0 << 0;
        QTest::newRow("the standard kit after a bank select") << 9 << 8 << 0 << 0;
        QTest::newRow("another kit") << 9 << 0 << 0 << 25;
        QTest::newRow("a kit selected with a bank") << 9 << 8 << 0 << 16;
        QTest::newRow("a kit the font lacks") << 9 << 0 << 0 << 77;
    }

    void readsThePresetTheChannelGets()
    {
        QFETCH(int, channel);
        QFETCH(int, msb);
        QFETCH(int, lsb);
        QFETCH(int, program);
        const QString font = AudioAnalysis::largeFont();
        if (font.isEmpty())
            QSKIP("FluidR3_GM.sf2 is not installed (package fluid-soundfont-gm)");
        CacheRig rig(font);
        rig.send(0xB0 | channel, 0, msb);
        rig.send(0xB0 | channel, 32, lsb);
        rig.send(0xC0 | channel, program);
        fluid_preset_t *given = fluid_synth_get_channel_preset(rig.synth, channel);
        QVERIFY(given);
        const ProgramCache::ReadAhead read = rig.cache.lastReadAhead();
        QCOMPARE(read.bank, fluid_preset_get_banknum(given));
        QCOMPARE(read.program, fluid_preset_get_num(given));
        QVERIFY(read.bytes > 0);
    }

    // What is read lies inside the sample data, in order and without
    // overlaps, from the file's head (which FluidSynth reads at each load).
    void rangesLieInTheSampleData()
    {
        const QString font = AudioAnalysis::smallFont();
        if (font.isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
        FontSamples samples;
        QVERIFY(samples.open(font));
        const qint64 fileSize = QFileInfo(font).size();
        for (int bank : {0, 128}) {
            for (int program = 0; program < 128; ++program) {
                if (!samples.has(bank, program))
                    continue;
                const std::vector<FontSamples::Range> ranges = samples.rangesOf(bank, program);
                QVERIFY(!ranges.empty() && ranges.front().first == 0);
                qint64 last = -1;
                for (const FontSamples::Range &r : ranges) {
                    QVERIFY2(r.first > last && r.first < r.end && r.end <= fileSize,
                             qPrintable(QString("%1:%2").arg(bank).arg(program)));
                    last = r.end;
                }
            }
        }
        QVERIFY(samples.has(0, 0));
        QVERIFY(samples.has(128, 0));
        QVERIFY(!samples.has(5, 0));
        QVERIFY(samples.rangesOf(5, 0).empty());
    }

    // Fonts whose tables cannot be trusted: nothing is read outside the
    // file, and the cache still pins (the load reads for itself).
    void damagedFonts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("cut in half") << "cut" << false;
        QTest::newRow("text named as a font") << "text" << false;
        QTest::newRow("empty file") << "empty" << false;
        QTest::newRow("sample chunk of size 0") << "smpl0" << true;
        QTest::newRow("indexes past the tables") << "wild" << true;
    }

    void damagedFonts()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        const QString small = AudioAnalysis::smallFont();
        if (small.isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
        QTemporaryDir dir;
        const QString path = kind == "wild" ? wildFont(dir.path(), small) : makeBrokenFont(dir.path(), kind, small);
        QVERIFY(!path.isEmpty());
        FontSamples samples;
        QCOMPARE(samples.open(path), opens);
        const qint64 fileSize = QFileInfo(path).size();
        for (int program = 0; program < 128; ++program) {
            for (const FontSamples::Range &r : samples.rangesOf(0, program))
                QVERIFY(r.first >= 0 && r.first <= r.end && r.end <= fileSize);
        }
        FontFile::ReadScope scope;
        QVERIFY(samples.readAhead(0, 0) <= fileSize);
    }
};

DZQ_REGISTER_TEST(ProgramReadAheadTest)

#include "ProgramReadAheadTest.moc"
