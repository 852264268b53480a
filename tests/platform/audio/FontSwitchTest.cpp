#include "AudioAnalysis.h"
#include "BrokenFontRig.h"
#include "TestMain.h"

#include "core/MidiMessage.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/ChannelMemory.h"
#include "platform/audio/SoundFontMemory.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/realtime/HeldNotes.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fluidsynth.h>

using namespace AudioAnalysis;

namespace {

// An installed font, found as the program finds fonts, by its own name.
QString installedFont(const QString &name)
{
    for (const QString &path : SynthSetup::soundFontCandidates()) {
        if (QFileInfo(QFileInfo(path).canonicalFilePath()).completeBaseName() == name)
            return path;
    }
    return QString();
}

constexpr MidiMessage msg(int status, int data1, int data2 = 0)
{
    return {quint8(status), quint8(data1), quint8(data2)};
}

// An engine rendered by hand, on a grid of simulated time.
struct SwitchRig {
    explicit SwitchRig(const QString &font)
    {
        AudioEngine::Options o;
        o.soundFont = font;
        o.output = AudioEngine::Output::Manual;
        engine = std::make_unique<AudioEngine>(o);
        notices = std::make_unique<QSignalSpy>(engine.get(), &AudioEngine::notice);
        changed = std::make_unique<QSignalSpy>(engine.get(), &AudioEngine::soundFontChanged);
        engine->start();
        ready = engine->waitUntilReady() && engine->hasSoundFont();
    }

    std::unique_ptr<AudioEngine> engine;
    std::unique_ptr<QSignalSpy> notices, changed;
    bool ready = false;
    qint64 frames = 0;

    qint64 nowNs() const { return 10'000'000'000 + frames * 1'000'000'000 / engine->sampleRate(); }
    // Renders `count` frames (left channel).
    QVector<float> render(int count)
    {
        QVector<float> out;
        float l[128], r[128];
        for (int done = 0; done < count; done += 128) {
            engine->renderManual(l, r, 128, nowNs());
            frames += 128;
            for (float v : l)
                out << v;
        }
        return out;
    }
    // Middle C on channel 0 for half a second, then its release.
    QVector<float> note()
    {
        engine->send(msg(0x90, 60, 100), -1);
        QVector<float> out = render(24000);
        engine->send(msg(0x80, 60), -1);
        render(48000);
        return out;
    }
    int cc(int channel, int controller) const
    {
        int value = -1;
        fluid_synth_get_cc(engine->synth(), channel, controller, &value);
        return value;
    }
    int preset(int channel) const
    {
        int font = 0, bank = 0, preset = -1;
        fluid_synth_get_program(engine->synth(), channel, &font, &bank, &preset);
        return preset;
    }
    QStringList noticeTexts() const
    {
        QStringList out;
        for (const QList<QVariant> &args : *notices)
            out << args.at(0).toString();
        return out;
    }
};

double difference(const QVector<float> &a, const QVector<float> &b)
{
    double diff = 0, level = 0;
    for (int i = 0; i < qMin(a.size(), b.size()); ++i) {
        diff += std::abs(a[i] - b[i]);
        level += std::abs(a[i]);
    }
    return level > 0 ? diff / level : 0;
}

}  // namespace

// Switching the live synthesizer's sound font, with the real fonts.
class FontSwitchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (installedFont("TimGM6mb").isEmpty() || installedFont("FluidR3_GM").isEmpty())
            QSKIP("FluidR3_GM and TimGM6mb are not both installed");
    }

    // Another sound, with sound, at the same pitch; the instruments and
    // volumes of the channels stay.
    void switchKeepsTheChannels_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("small to large") << "TimGM6mb"
                                        << "FluidR3_GM";
        QTest::newRow("large to small") << "FluidR3_GM"
                                        << "TimGM6mb";
    }

    void switchKeepsTheChannels()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        SwitchRig rig(installedFont(from));
        QVERIFY(rig.ready);
        rig.engine->send(msg(0xB0, 0, 0), -1);
        rig.engine->send(msg(0xC0, 40), -1);  // violin
        rig.engine->send(msg(0xB0, 7, 90), -1);  // volume
        rig.engine->send(msg(0xB0, 10, 20), -1);  // pan
        rig.engine->send(msg(0xB3, 7, 33), -1);  // a chord channel's volume
        rig.engine->send(msg(0xC9, 25), -1);  // a drum kit
        const QVector<float> before = rig.note();

        rig.engine->switchSoundFont(installedFont(to));
        QVERIFY(rig.engine->isSwitching());
        QVERIFY(rig.engine->waitForSwitch());
        QCOMPARE(rig.changed->size(), 1);
        QCOMPARE(QFileInfo(rig.engine->soundFontPath()).canonicalFilePath(),
                 QFileInfo(installedFont(to)).canonicalFilePath());
        QCOMPARE(rig.preset(0), 40);
        QCOMPARE(rig.cc(0, 7), 90);
        QCOMPARE(rig.cc(0, 10), 20);
        QCOMPARE(rig.cc(3, 7), 33);
        QCOMPARE(rig.preset(9), 25);

        const QVector<float> after = rig.note();
        QVERIFY2(peak(after) > 0.02f, qPrintable(QString::number(peak(after))));
        const double pitch = pitchHz(after, 8000, 8192, rig.engine->sampleRate());
        QVERIFY2(qAbs(pitch - 261.63) < 261.63 * 0.03, qPrintable(QString::number(pitch)));
        QVERIFY2(difference(before, after) > 0.2, qPrintable(QString::number(difference(before, after))));
    }

    // A file that is not a usable font: refused in words, the old font plays on.
    void refusedFontKeepsTheOldOne_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("text named x.sf2") << "text" << "不是可用的音色库";
        QTest::newRow("sound font cut short") << "cut" << "不是可用的音色库";
        QTest::newRow("missing file") << "missing" << "找不到音色库文件";
        QTest::newRow("a folder") << "folder" << "不是文件";
        QTest::newRow("empty file") << "empty" << "不是可用的音色库";
        QTest::newRow("no samples") << "smpl0" << "不是可用的音色库";
        QTest::newRow("silent samples") << "zeros" << "不是可用的音色库";
    }

    void refusedFontKeepsTheOldOne()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = makeBrokenFont(dir.path(), kind, installedFont("TimGM6mb"));
        QVERIFY(!path.isEmpty());
        SwitchRig rig(installedFont("TimGM6mb"));
        QVERIFY(rig.ready);
        const QString old = rig.engine->soundFontPath();
        fluid_synth_t *synth = rig.engine->synth();
        rig.engine->send(msg(0xC0, 40), -1);

        rig.engine->switchSoundFont(path);
        QVERIFY(rig.engine->waitForSwitch());

        QCOMPARE(rig.changed->size(), 0);
        const QStringList texts = rig.noticeTexts();
        QCOMPARE(texts.size(), 2);  // loading, then refused
        QVERIFY2(texts[1].contains(says) && texts[1].contains(QDir::toNativeSeparators(path))
                     && texts[1].endsWith("仍使用原来的音色库。"),
                 qPrintable(texts[1]));
        QCOMPARE(rig.engine->soundFontPath(), old);
        QCOMPARE(rig.engine->synth(), synth);
        QCOMPARE(rig.preset(0), 40);
        QVERIFY(peak(rig.note()) > 0.02f);
    }

    // A font the run was to start with (named or remembered) that is
    // refused gives way to the system's, in one notice saying what is wrong.
    void refusedStartFontGivesWay_data() { refusedFontKeepsTheOldOne_data(); }

    void refusedStartFontGivesWay()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = makeBrokenFont(dir.path(), kind, installedFont("TimGM6mb"));
        QVERIFY(!path.isEmpty());
        AudioEngine::Options o;
        o.soundFont = path;
        o.fallBackToFound = true;
        o.output = AudioEngine::Output::Manual;
        AudioEngine engine(o);
        QSignalSpy notices(&engine, &AudioEngine::notice);
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QVERIFY(engine.hasSoundFont());
        QVERIFY(SynthSetup::sameFile(engine.soundFontPath(), SynthSetup::findSoundFont()));
        QCOMPARE(notices.size(), 1);
        const QString text = notices[0][0].toString();
        QVERIFY2(text.contains(says) && text.contains(QDir::toNativeSeparators(path))
                     && text.endsWith("改用默认的音色库。"),
                 qPrintable(text));
    }

    // Notes held at the switch are struck anew on the new synthesizer; a
    // note due later (a playing score) sounds with the new one; nothing hangs.
    void switchWhileNotesSound()
    {
        SwitchRig rig(installedFont("TimGM6mb"));
        QVERIFY(rig.ready);
        for (int note : {60, 64, 67})
            rig.engine->send(msg(0x90, note, 100), -1);
        rig.engine->send(msg(0xB0, 64, 127), -1);  // sustain held
        rig.render(4800);
        rig.engine->switchSoundFont(installedFont("FluidR3_GM"));
        // While it loads, the old font goes on and takes new notes.
        rig.engine->send(msg(0x91, 72, 100), -1);
        rig.render(4800);
        QVERIFY(rig.engine->waitForSwitch());
        QVERIFY(fluid_synth_get_active_voice_count(rig.engine->synth()) >= 4);
        QCOMPARE(rig.cc(0, 64), 127);
        // A score's note timed after the switch.
        rig.engine->send(msg(0x92, 69, 100), rig.nowNs() + 50'000'000);
        const QVector<float> score = rig.render(24000);
        QVERIFY(peak(score, 4800) > 0.02f);
        QVERIFY(fluid_synth_get_active_voice_count(rig.engine->synth()) > 0);
        // The note-offs of notes begun before the switch, the pedal up.
        for (int note : {60, 64, 67})
            rig.engine->send(msg(0x80, note), -1);
        rig.engine->send(msg(0x81, 72), -1);
        rig.engine->send(msg(0x82, 69), -1);
        rig.engine->send(msg(0xB0, 64, 0), -1);
        const QVector<float> tail = rig.render(48000 * 3);
        QCOMPARE(fluid_synth_get_active_voice_count(rig.engine->synth()), 0);
        QVERIFY(peak(tail, 48000 * 2) < 1e-4f);
    }

    // What sounds at the switch goes on on the new synthesizer: a key held
    // and a note the pedal holds, each with its velocity; a note let go
    // without the pedal is not struck again.
    void heldNotesAreStruckAnew()
    {
        SwitchRig rig(installedFont("TimGM6mb"));
        QVERIFY(rig.ready);
        rig.engine->send(msg(0x90, 60, 100), -1);  // held
        rig.engine->send(msg(0x91, 62, 90), -1);   // let go
        rig.engine->send(msg(0x81, 62), -1);
        rig.engine->send(msg(0xB2, 64, 127), -1);  // let go under the pedal
        rig.engine->send(msg(0x92, 67, 45), -1);
        rig.engine->send(msg(0x82, 67), -1);
        rig.render(4800);
        rig.engine->switchSoundFont(installedFont("FluidR3_GM"));
        QVERIFY(rig.engine->waitForSwitch());

        QStringList struck;  // "channel key velocity on|sustained", once per note
        fluid_voice_t *voices[64] = {};
        fluid_synth_get_voicelist(rig.engine->synth(), voices, 64, -1);
        for (fluid_voice_t *v : voices) {
            if (!v)
                break;
            const QString text = QString("%1 %2 %3 %4")
                                     .arg(fluid_voice_get_channel(v))
                                     .arg(fluid_voice_get_key(v))
                                     .arg(fluid_voice_get_actual_velocity(v))
                                     .arg(fluid_voice_is_sustained(v) ? "sustained" : "on");
            if (!struck.contains(text))
                struck << text;
        }
        struck.sort();
        QCOMPARE(struck, QStringList({"0 60 100 on", "2 67 45 sustained"}));
        // The pedal up lets the sustained one go.
        rig.engine->send(msg(0xB2, 64, 0), -1);
        rig.engine->send(msg(0x80, 60), -1);
        const QVector<float> tail = rig.render(48000 * 3);
        QVERIFY(peak(tail, 48000 * 2) < 1e-4f);
    }

    // No click where the fonts meet: the old one fades out while the held
    // note starts again on the new one, which goes on sounding.
    void switchHasNoStep_data()
    {
        QTest::addColumn<bool>("pedal");
        QTest::newRow("key held") << false;
        QTest::newRow("pedal holds the note") << true;
    }

    void switchHasNoStep()
    {
        QFETCH(bool, pedal);
        SwitchRig rig(installedFont("TimGM6mb"));
        QVERIFY(rig.ready);
        rig.engine->send(msg(0xC0, 19), -1);  // organ: steady while held
        rig.engine->send(msg(0x90, 60, 100), -1);
        if (pedal) {
            rig.engine->send(msg(0xB0, 64, 127), -1);
            rig.engine->send(msg(0x80, 60), -1);
        }
        QVector<float> out = rig.render(14400);
        // The switch where the wave is far from zero: a cut would be a step.
        for (int i = 0; i < 100 && std::abs(out.last()) < 0.5f * peak(out, out.size() - 4800); ++i)
            out += rig.render(128);
        const int at = out.size();
        rig.engine->switchSoundFont(installedFont("FluidR3_GM"));
        QVERIFY(rig.engine->waitForSwitch());
        out += rig.render(24000);

        const auto largestStep = [&](int from, int to) {
            float step = 0;
            for (int i = from; i < to; ++i)
                step = qMax(step, std::abs(out[i] - out[i - 1]));
            return step;
        };
        const float before = largestStep(at - 4800, at);
        const float across = largestStep(at, at + 1024);
        QVERIFY(before > 1e-4f);
        QVERIFY2(across < 2 * before + 1e-3f, qPrintable(QString("%1 %2").arg(across).arg(before)));
        QVERIFY2(peak(out, at + 9600) > 0.02f, qPrintable(QString::number(peak(out, at + 9600))));
        const double pitch = pitchHz(out, at + 9600, 8192, rig.engine->sampleRate());
        QVERIFY2(qAbs(pitch - 261.63) < 261.63 * 0.03, qPrintable(QString::number(pitch)));
    }

    // Fonts asked for while one loads: one load at a time, the last one wins.
    void lastRequestWins()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath("Copy.sf2");
        QVERIFY(QFile::copy(installedFont("TimGM6mb"), copy));
        SwitchRig rig(installedFont("TimGM6mb"));
        QVERIFY(rig.ready);
        rig.engine->switchSoundFont(installedFont("FluidR3_GM"));
        rig.engine->switchSoundFont(dir.filePath("never.sf2"));
        rig.engine->switchSoundFont(copy);
        QVERIFY(rig.engine->waitForSwitch());
        QCOMPARE(rig.engine->soundFontPath(), copy);
        QCOMPARE(rig.changed->size(), 2);
        // The one in between was never loaded, so never refused.
        for (const QString &text : rig.noticeTexts())
            QVERIFY2(!text.contains("never"), qPrintable(text));
        // The font playing asked for again: nothing to do.
        rig.engine->switchSoundFont(copy);
        QVERIFY(!rig.engine->isSwitching());
        QVERIFY(peak(rig.note()) > 0.02f);
    }

    // The real render thread keeps rendering through several switches, notes
    // played all along: every replaced synthesizer is deleted only once the
    // audio thread is done with it (the sanitizer build checks), and the
    // sound goes on.
    void switchesUnderTheRenderThread()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath("Copy.sf2");
        QVERIFY(QFile::copy(installedFont("TimGM6mb"), copy));
        AudioEngine::Options o;
        o.soundFont = installedFont("TimGM6mb");
        o.output = AudioEngine::Output::RenderThread;
        AudioEngine engine(o);
        engine.start();
        QVERIFY(engine.waitUntilReady());
        engine.setTapEnabled(true);
        const QStringList fonts{copy, installedFont("TimGM6mb"), copy, installedFont("TimGM6mb")};
        int note = 48;
        for (const QString &font : fonts) {
            engine.send(msg(0x90, note, 100), -1);
            engine.switchSoundFont(font);
            for (int i = 0; i < 10; ++i) {
                engine.send(msg(0x80, note), -1);
                engine.send(msg(0x90, ++note, 100), -1);
                QTest::qWait(5);
            }
            QVERIFY(engine.waitForSwitch());
            QCOMPARE(engine.soundFontPath(), QFileInfo(font).absoluteFilePath());
        }
        QTest::qWait(200);  // the last replaced one goes
        engine.discardTap();
        engine.send(msg(0x90, 72, 110), -1);
        // The note sounds, however long the render thread takes to get there.
        QVector<float> out(2 * 4800);
        int frames = 0;
        float loudest = 0;
        QElapsedTimer waited;
        waited.start();
        while (loudest <= 0.01f && waited.elapsed() < 10000) {
            frames += engine.readTap(out.data(), 4800);
            loudest = qMax(loudest, peak(out));
            QTest::qWait(10);
        }
        QVERIFY(frames > 0);
        QVERIFY(loudest > 0.01f);
        engine.send(msg(0x80, 72), -1);
        engine.send(msg(0x80, note), -1);
    }

    // Asked for while the engine is still loading its first font.
    void switchBeforeReady()
    {
        AudioEngine::Options o;
        o.soundFont = installedFont("TimGM6mb");
        o.output = AudioEngine::Output::Manual;
        AudioEngine engine(o);
        engine.start();
        engine.switchSoundFont(installedFont("FluidR3_GM"));
        QVERIFY(engine.waitForSwitch());
        QCOMPARE(QFileInfo(engine.soundFontPath()).canonicalFilePath(),
                 QFileInfo(installedFont("FluidR3_GM")).canonicalFilePath());
    }
};

Q_DECLARE_METATYPE(QVector<MidiMessage>)

namespace {

// "0xb2 0x2832c2": messages as the MIDI log writes them, to compare readably.
QString packedText(const QVector<MidiMessage> &messages)
{
    QStringList parts;
    for (const MidiMessage &m : messages)
        parts << QStringLiteral("0x%1").arg(m.packed(), 0, 16);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

// What a new synthesizer is told so that every channel sounds as before.
class ChannelMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void replay_data()
    {
        using V = QVector<MidiMessage>;
        QTest::addColumn<V>("sent");
        QTest::addColumn<V>("replayed");
        QTest::newRow("nothing sent: nothing to replay") << V{} << V{};
        QTest::newRow("notes leave nothing") << V{msg(0x90, 60, 100), msg(0x80, 60), msg(0xA0, 60, 9)} << V{};
        QTest::newRow("bank before program, whatever order sent")
            << V{msg(0xC2, 40), msg(0xB2, 7, 90), msg(0xB2, 32, 1), msg(0xB2, 0, 8)}
            << V{msg(0xB2, 0, 8), msg(0xB2, 32, 1), msg(0xC2, 40), msg(0xB2, 7, 90)};
        QTest::newRow("latest value wins, channels in order")
            << V{msg(0xB9, 7, 10), msg(0xB0, 7, 20), msg(0xB9, 7, 30), msg(0xE0, 0x10, 0x50)}
            << V{msg(0xB0, 7, 20), msg(0xE0, 0x10, 0x50), msg(0xB9, 7, 30)};
        QTest::newRow("sustain and effects kept") << V{msg(0xB1, 64, 127), msg(0xB1, 91, 50), msg(0xB1, 93, 0)}
                                                  << V{msg(0xB1, 64, 127), msg(0xB1, 91, 50), msg(0xB1, 93, 0)};
        // Data entry and the parameter it goes to, modes and all-notes-off:
        // replayed alone they would do something else than when sent.
        QTest::newRow("data entry, (N)RPN and modes not replayed")
            << V{msg(0xB0, 101, 0), msg(0xB0, 100, 0), msg(0xB0, 6, 12),  msg(0xB0, 38, 0), msg(0xB0, 99, 1),
                 msg(0xB0, 98, 2),  msg(0xB0, 123, 0), msg(0xB0, 120, 0), msg(0xB0, 126, 1)}
            << V{};
        QTest::newRow("reset controllers keeps bank and program")
            << V{msg(0xB4, 0, 1), msg(0xC4, 5), msg(0xB4, 7, 10), msg(0xE4, 0, 0), msg(0xB4, 121, 0)}
            << V{msg(0xB4, 0, 1), msg(0xC4, 5)};
        QTest::newRow("malformed messages ignored")
            << V{msg(0xB0, 0x80, 5), msg(0x40, 7, 5), msg(0xF0, 7, 5)} << V{};
    }

    void replay()
    {
        QFETCH(QVector<MidiMessage>, sent);
        QFETCH(QVector<MidiMessage>, replayed);
        ChannelMemory memory;
        for (const MidiMessage &m : sent)
            memory.note(m);
        const std::vector<MidiMessage> out = memory.replay();
        QCOMPARE(packedText(QVector<MidiMessage>(out.begin(), out.end())), packedText(replayed));
        memory.clear();
        QVERIFY(memory.replay().empty());
    }
};

// The notes a new synthesizer strikes again, after what was sent: keys
// down, and keys let go while the sustain pedal holds them.
class HeldNotesTest : public QObject {
    Q_OBJECT
private slots:
    void held_data()
    {
        using V = QVector<MidiMessage>;
        QTest::addColumn<V>("sent");
        QTest::addColumn<QStringList>("held");  // "channel key velocity" and "pedal" when the key is up
        QTest::newRow("key down, then another let go")
            << V{msg(0x90, 60, 100), msg(0x90, 62, 80), msg(0x80, 62)} << QStringList{"0 60 100"};
        QTest::newRow("note-on of velocity 0 lets go") << V{msg(0x93, 60, 100), msg(0x93, 60, 0)} << QStringList{};
        QTest::newRow("struck again: the last velocity")
            << V{msg(0x90, 60, 100), msg(0x90, 60, 30)} << QStringList{"0 60 30"};
        QTest::newRow("let go under the pedal, pedal stays")
            << V{msg(0xB5, 64, 127), msg(0x95, 48, 70), msg(0x85, 48)} << QStringList{"5 48 70 pedal"};
        QTest::newRow("pedal up ends what it held, not the keys down")
            << V{msg(0xB0, 64, 100), msg(0x90, 48, 70), msg(0x80, 48), msg(0x90, 50, 70), msg(0xB0, 64, 10)}
            << QStringList{"0 50 70"};
        QTest::newRow("pedal of another channel holds nothing here")
            << V{msg(0xB1, 64, 127), msg(0x90, 48, 70), msg(0x80, 48)} << QStringList{};
        QTest::newRow("all notes off: as keys let go")
            << V{msg(0x90, 60, 100), msg(0xB1, 64, 127), msg(0x91, 61, 90), msg(0xB0, 123, 0), msg(0xB1, 123, 0)}
            << QStringList{"1 61 90 pedal"};
        QTest::newRow("all sound off and controller reset")
            << V{msg(0xB0, 64, 127), msg(0x90, 60, 100), msg(0xB0, 120, 0), msg(0xB1, 64, 127), msg(0x91, 61, 90),
                 msg(0x81, 61), msg(0xB1, 121, 0)}
            << QStringList{};
    }

    void held()
    {
        QFETCH(QVector<MidiMessage>, sent);
        QFETCH(QStringList, held);
        HeldNotes notes;
        for (const MidiMessage &m : sent)
            notes.note(m);
        QStringList out;
        notes.forEach([&](int channel, int key, int velocity, bool down) {
            out << QString("%1 %2 %3").arg(channel).arg(key).arg(velocity) + (down ? "" : " pedal");
        });
        QCOMPARE(out, held);
    }
};

// The font chosen in the window, carried to the next run.
class SoundFontMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void startedForgetsOnlyAFontThatFailed_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("playing");
        QTest::addColumn<QString>("after");
        QTest::newRow("it plays: kept") << "/f/A.sf2"
                                        << "/f/A.sf2"
                                        << "/f/A.sf2"
                                        << "/f/A.sf2";
        QTest::newRow("the system's font instead: forgotten") << "/f/A.sf2"
                                                              << "/f/A.sf2"
                                                              << "/f/B.sf2"
                                                              << "";
        QTest::newRow("no font plays: forgotten") << "/f/A.sf2"
                                                  << "/f/A.sf2"
                                                  << ""
                                                  << "";
        QTest::newRow("command line run: untouched") << "/f/A.sf2"
                                                     << ""
                                                     << "/f/B.sf2"
                                                     << "/f/A.sf2";
        QTest::newRow("another run chose meanwhile: untouched") << "/f/C.sf2"
                                                                << "/f/A.sf2"
                                                                << ""
                                                                << "/f/C.sf2";
    }

    void startedForgetsOnlyAFontThatFailed()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, asked);
        QFETCH(QString, playing);
        QFETCH(QString, after);
        QTemporaryDir dir;
        QSettings settings(dir.filePath("dzq.conf"), QSettings::IniFormat);
        SoundFontMemory::chose(settings, remembered);
        SoundFontMemory::started(settings, asked, playing);
        QCOMPARE(SoundFontMemory::recall(settings), after);
    }

    // Which two paths are one font: the remembered one against the one playing.
    void sameFile_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("one file") << "A.sf2"
                                  << "A.sf2" << true;
        QTest::newRow("a link and its font") << "link.sf2"
                                             << "A.sf2" << true;
        QTest::newRow("two fonts") << "A.sf2"
                                   << "B.sf2" << false;
        QTest::newRow("gone and present") << "gone.sf2"
                                          << "A.sf2" << false;
        QTest::newRow("two paths to nothing") << "gone.sf2"
                                              << "other.sf2" << false;
        QTest::newRow("one path to nothing") << "gone.sf2"
                                             << "gone.sf2" << true;
    }

    void sameFile()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QTemporaryDir dir;
        for (const char *name : {"A.sf2", "B.sf2"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(dir.filePath("A.sf2"), dir.filePath("link.sf2")));
        QCOMPARE(SynthSetup::sameFile(dir.filePath(a), dir.filePath(b)), same);
    }

    void choseKeepsAnAbsolutePathBesideTheBuffer()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("dzq.conf");
        {
            QSettings settings(file, QSettings::IniFormat);
            settings.setValue("audio/bufferFrames", 512);
            SoundFontMemory::chose(settings, "relative/Mine.sf3");
            SoundFontMemory::chose(settings, QString());  // nothing: nothing changes
        }
        QSettings again(file, QSettings::IniFormat);
        QCOMPARE(again.value("audio/soundFont").toString(), QFileInfo("relative/Mine.sf3").absoluteFilePath());
        QCOMPARE(again.value("audio/bufferFrames").toInt(), 512);
    }
};

DZQ_REGISTER_TEST(FontSwitchTest)
DZQ_REGISTER_TEST(ChannelMemoryTest)
DZQ_REGISTER_TEST(HeldNotesTest)
DZQ_REGISTER_TEST(SoundFontMemoryTest)
#include "FontSwitchTest.moc"
