#include "SynthTest.h"

#include "AudioAnalysis.h"

#include "ScriptedDialogs.h"

#include "core/Clock.h"
#include "core/MidiMessage.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/drivers/SoundLog.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/realtime/ThreadRoles.h"
#include "platform/midi/SystemMidiBackend.h"
#include "midiport/MidiPort.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fluidsynth.h>

#include <thread>

using namespace AudioAnalysis;

namespace {

constexpr MidiMessage msg(int status, int d1, int d2 = 0)
{
    return {quint8(status), quint8(d1), quint8(d2)};
}

// Voices of a channel: how many exist, and how many are still held (not released).
struct VoiceCount {
    int playing = 0;
    int held = 0;
};

VoiceCount voicesOn(fluid_synth_t *synth, int channel)
{
    fluid_voice_t *list[256] = {};
    fluid_synth_get_voicelist(synth, list, 256, -1);
    VoiceCount c;
    for (fluid_voice_t *v : list) {
        if (!v)
            break;
        if (fluid_voice_get_channel(v) != channel)
            continue;
        ++c.playing;
        if (fluid_voice_is_on(v))
            ++c.held;
    }
    return c;
}

// Drives an engine with Output::Manual on an exact grid of simulated time.
struct ManualRun {
    explicit ManualRun(AudioEngine &e) : engine(e) {}
    AudioEngine &engine;
    qint64 startNs = 10'000'000'000;
    qint64 frames = 0;
    QVector<float> left, right;  // everything rendered

    // Period sizes used in turn: a sound server may ask for any count.
    QVector<int> sizes{SynthSetup::kPeriodFrames};
    int turn = 0;

    qint64 nsOfFrame(double frame) const { return startNs + qint64(frame * 1e9 / engine.sampleRate() + 0.5); }
    void period(int n = 0)
    {
        if (n <= 0)
            n = sizes[turn++ % sizes.size()];
        constexpr int kMax = 1024;
        Q_ASSERT(n <= kMax);
        float l[kMax], r[kMax];
        engine.renderManual(l, r, n, nsOfFrame(double(frames)));
        for (int i = 0; i < n; ++i) {
            left << l[i];
            right << r[i];
        }
        frames += n;
    }
    void until(qint64 frame)
    {
        while (frames < frame)
            period();
    }
};

AudioEngine::Options manualOptions(int sampleRate = SynthSetup::kSampleRate)
{
    AudioEngine::Options o;
    o.soundFont = smallFont();
    o.output = AudioEngine::Output::Manual;
    o.sampleRate = sampleRate;
    return o;
}

}  // namespace

// --------------------------------------------------------------- AudioEngine

void AudioEngineTest::initTestCase()
{
    if (smallFont().isEmpty())
        QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
}

void AudioEngineTest::libraryMessagesAreCollectedNotPrinted()
{
    AudioEngine engine(manualOptions());
    QSignalSpy notices(&engine, &AudioEngine::notice);
    // An error of the synthesizer on the program's own thread reaches the user.
    fluid_log(FLUID_ERR, "test error %d", 1);
    QTRY_COMPARE(notices.count(), 1);
    QVERIFY(notices[0][0].toString().contains("test error 1"));
    // Expected failures (driver probing) and the audio thread's messages are
    // only kept in the list.
    {
        SoundLog::QuietScope quiet;
        fluid_log(FLUID_ERR, "quiet error");
    }
    std::thread audio([] {
        ThreadRoles::AudioScope role;
        fluid_log(FLUID_ERR, "audio thread error");
    });
    audio.join();
    fluid_log(FLUID_WARN, "a warning");
    QCoreApplication::processEvents();
    QCOMPARE(notices.count(), 1);
    const QStringList log = engine.logMessages();
    for (const char *text : {"error: test error 1", "error: quiet error", "error: audio thread error", "warning: a warning"})
        QVERIFY2(log.contains(QString::fromLatin1(text)), text);
}

void AudioEngineTest::messagesBeforeReadyPlayAfterInOrder()
{
    AudioEngine engine(manualOptions());
    engine.start();
    // Loading: nothing reaches the synthesizer yet (it is busy with the font).
    engine.send(msg(0xC2, 14), -1);
    engine.send(msg(0xB2, 7, 33), -1);
    engine.send(msg(0x92, 60, 100), -1);
    engine.send(msg(0x93, 64, 100), 123);  // timed ones wait as well
    engine.send(msg(0x83, 64), -1);
    QVERIFY(!engine.isReady());
    QVERIFY(engine.synth() == nullptr);

    QSignalSpy ready(&engine, &AudioEngine::ready);
    QVERIFY(engine.waitUntilReady());
    QCOMPARE(ready.count(), 1);
    fluid_synth_t *synth = engine.synth();
    QVERIFY(synth);
    int sfont = 0, bank = 0, preset = 0, volume = 0;
    fluid_synth_get_program(synth, 2, &sfont, &bank, &preset);
    QCOMPARE(preset, 14);
    fluid_synth_get_cc(synth, 2, 7, &volume);
    QCOMPARE(volume, 33);
    QCOMPARE(voicesOn(synth, 2).held > 0, true);
    // Channel 3's note-off came after its note-on, so nothing is held there.
    ManualRun run(engine);
    run.until(48000 / 10);
    QCOMPARE(voicesOn(synth, 3).held, 0);
    // The queued event of the finished load does not play anything twice.
    QCoreApplication::processEvents();
    QCOMPARE(ready.count(), 1);
}

void AudioEngineTest::timedNotesLandOnNearestBlock()
{
    // Through the whole chain: timer tick, port, backend, engine; at 44.1 kHz.
    AudioEngine engine(manualOptions(44100));
    SystemMidiBackend backend(engine);
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    QVERIFY(port.OpenMidiDevice(0));
    engine.start();
    QVERIFY(engine.waitUntilReady());
    engine.send(msg(0x99, 76, 100), -1);  // warm-up
    ManualRun run(engine);
    run.period();
    // The first click belongs at frame 4820 (-> block 4800), the next 124 ms
    // later at 10288.4 (-> 10304): 5504 frames apart, not 5468 and not 5440.
    const qint64 first = run.nsOfFrame(4820.0) - engine.lookAheadNs();
    for (qint64 tick : {first, first + 124'000'000}) {
        Clock::TickScope scope(clock, tick);
        port.NoteOn(9, 75, 120);
    }
    QVERIFY(dialogs.messages.isEmpty());
    run.until(44100 / 2);
    const QVector<int> found = clickOnsets(run.left);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[1] - found[0], 5504);
    QVERIFY(found[0] >= 4800 && found[0] < 4800 + 64);
}

void AudioEngineTest::liveNoteOffNeverOvertakesItsNoteOn()
{
    AudioEngine engine(manualOptions());
    engine.start();
    QVERIFY(engine.waitUntilReady());
    fluid_synth_t *synth = engine.synth();
    engine.send(msg(0xC0, 19), -1);  // an organ holds its note until released
    ManualRun run(engine);
    run.until(1280);

    // A score tick sends an organ note and a drum; the player's key-up for the
    // same note follows at once, before the tick's time has come.
    const qint64 tick = run.nsOfFrame(double(run.frames));
    engine.send(msg(0x90, 60, 100), tick);
    engine.send(msg(0x99, 75, 100), tick);
    engine.send(msg(0x80, 60), -1);
    const qint64 drumBlock = SynthSetup::nearestBlock(double(run.frames) + double(engine.lookAheadNs()) * 48000 / 1e9);

    int drumFrame = -1;
    while (run.frames < 48000) {
        const qint64 before = run.frames;
        run.period();
        if (drumFrame < 0 && voicesOn(synth, 9).playing > 0)
            drumFrame = int(before);
    }
    // The drum kept its own time...
    QVERIFY2(drumFrame <= drumBlock && drumBlock < drumFrame + SynthSetup::kPeriodFrames,
             qPrintable(QStringLiteral("%1 / %2").arg(drumFrame).arg(drumBlock)));
    // ...while the organ note was started and released: nothing hangs.
    QCOMPARE(voicesOn(synth, 0).held, 0);
}

void AudioEngineTest::volumeSidesAndTap()
{
    AudioEngine::Options o = manualOptions();
    o.tapSeconds = 1;
    AudioEngine engine(o);
    engine.start();
    QVERIFY(engine.waitUntilReady());
    engine.setWaveVolume(0xFFFF0000);  // left silent, right full
    engine.send(msg(0xC0, 19), -1);
    engine.send(msg(0x90, 60, 100), -1);
    ManualRun run(engine);
    run.until(4800);
    QCOMPARE(peak(run.left), 0.0f);
    QVERIFY(peak(run.right) > 0.01f);
    QCOMPARE(engine.tapFramesAvailable(), 0);  // tap off: nothing offered

    engine.setWaveVolume(0x60006000);
    engine.setTapEnabled(true);
    const int from = run.left.size();
    run.until(4800 + 9600);
    QVector<float> tapped(2 * 9600 + 2);
    QCOMPARE(engine.readTap(tapped.data(), 9601), 9600);
    bool same = true;
    for (int i = 0; i < 9600; ++i)
        same = same && tapped[2 * i] == run.left[from + i] && tapped[2 * i + 1] == run.right[from + i];
    QVERIFY2(same, "the tap carries exactly the output, interleaved");
    QVERIFY(peak(run.left, from) > 0.01f);

    // Nobody reads: one second fits, the rest is counted as lost.
    run.until(4800 + 9600 + 96000);
    QCOMPARE(engine.tapFramesAvailable(), 48000);
    QCOMPARE(engine.tapLostFrames(), quint64(96000 - 48000));
    engine.discardTap();
    QCOMPARE(engine.tapFramesAvailable(), 0);
}

void AudioEngineTest::chosenFontThatFailsGivesWayToTheSystemFont()
{
    const QString system = SynthSetup::findSoundFont();
    if (system.isEmpty())
        QSKIP("no sound font installed");
    QTemporaryDir dir;
    QFile junk(dir.filePath("notes.sf2"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("RIFF\x10\0\0\0sfbk but cut short", 26);
    junk.close();
    for (const QString &font : {dir.filePath("none.sf2"), junk.fileName()}) {
        AudioEngine::Options o = manualOptions();
        o.soundFont = font;
        o.fallBackToFound = true;
        AudioEngine engine(o);
        QSignalSpy notices(&engine, &AudioEngine::notice);
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QVERIFY(engine.hasSoundFont());
        QCOMPARE(engine.soundFontPath(), system);
        QCOMPARE(notices.count(), 1);
        const QString text = notices[0][0].toString();
        QVERIFY2(text.contains(QFileInfo(font).fileName()) && text.contains(QStringLiteral("改用默认的音色库")),
                 qPrintable(text));
        // And it plays.
        engine.send(msg(0xC0, 0), -1);
        engine.send(msg(0x90, 60, 100), 0);
        ManualRun run(engine);
        run.until(9600);
        QVERIFY(peak(run.left) > 0.001f);
    }
}

void AudioEngineTest::missingOrBrokenFontIsReportedAndSilent()
{
    QTemporaryDir dir;
    QFile junk(dir.filePath("broken.sf2"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    for (const QString &font : {dir.filePath("none.sf2"), junk.fileName()}) {
        AudioEngine::Options o = manualOptions();
        o.soundFont = font;
        AudioEngine engine(o);
        QSignalSpy notices(&engine, &AudioEngine::notice);
        engine.start();
        engine.send(msg(0x90, 60, 100), -1);
        QVERIFY(engine.waitUntilReady());
        QVERIFY(!engine.hasSoundFont());
        QCOMPARE(notices.count(), 1);
        QVERIFY2(notices[0][0].toString().contains("fluid-soundfont-gm"), qPrintable(notices[0][0].toString()));
        // Everything keeps working, silently.
        engine.send(msg(0x90, 62, 100), -1);
        engine.send(msg(0x90, 64, 100), 0);
        ManualRun run(engine);
        run.until(4800);
        QCOMPARE(peak(run.left), 0.0f);
    }
}

void AudioEngineTest::withoutSoundCardRenderThreadRuns()
{
    AudioEngine::Options o;
    o.soundFont = smallFont();
    AudioEngine engine(o);
    QSignalSpy notices(&engine, &AudioEngine::notice);
    engine.start();
    QVERIFY(engine.waitUntilReady());
    QVERIFY(engine.hasSoundFont());
    const int noCard = int(std::count_if(notices.begin(), notices.end(), [](const QList<QVariant> &n) {
        return n[0].toString().contains(QStringLiteral("未找到声卡"));
    }));
    if (!engine.deviceName().isEmpty()) {
        QCOMPARE(noCard, 0);
        QSKIP("this machine has a sound card");
    }
    QCOMPARE(noCard, 1);
    QCOMPARE(notices.count(), 1);  // the probing of the drivers is not shown
    // The synthesizer runs on its own in real time, and the tap works.
    engine.setTapEnabled(true);
    engine.send(msg(0x90, 60, 100), -1);
    QTRY_VERIFY_WITH_TIMEOUT(engine.tapFramesAvailable() >= 4800, 5000);
    QVector<float> data(2 * 4800);
    QCOMPARE(engine.readTap(data.data(), 4800), 4800);
}

void AudioEngineTest::idleSkipsSynthesisWithoutDelayingSound_data()
{
    QTest::addColumn<QVector<int>>("sizes");
    QTest::newRow("whole blocks") << QVector<int>{SynthSetup::kPeriodFrames};
    // What a sound server asks for: any count, now and then less than a block.
    QTest::newRow("any count") << QVector<int>{255, 261, 320, 37, 289, 498};
}

void AudioEngineTest::idleSkipsSynthesisWithoutDelayingSound()
{
    QFETCH(QVector<int>, sizes);
    AudioEngine engine(manualOptions());
    engine.start();
    QVERIFY(engine.waitUntilReady());
    fluid_synth_t *synth = engine.synth();
    ManualRun run(engine);
    run.sizes = sizes;
    run.until(2 * 48000);
    QVERIFY(engine.idlePeriods() > 0);

    // A key after a pause sounds in the very next period.
    quint64 idle = engine.idlePeriods();
    engine.send(msg(0x90, 72, 100), -1);
    int from = int(run.frames);
    run.period(SynthSetup::kPeriodFrames);
    QVERIFY(peak(run.left, from) > 0.0f);
    QCOMPARE(engine.idlePeriods(), idle);
    engine.send(msg(0x80, 72), -1);

    // The reverb rings on after the last voice has ended; only then does the
    // synthesizer stop, and its output is silence.
    while (fluid_synth_get_active_voice_count(synth) > 0 && run.frames < 10 * 48000)
        run.period();
    const int ended = int(run.frames);
    run.until(ended + 48000 / 4);
    QVERIFY(peak(run.left, ended) > 0.0f);
    QCOMPARE(engine.idlePeriods(), idle);
    run.until(ended + 8 * 48000);
    QVERIFY(engine.idlePeriods() > idle);
    const int quiet = int(run.frames);
    run.until(quiet + 4800);
    QVERIFY(peak(run.left, quiet) < 1e-6f);

    // A timed note wakes it on its own block.
    idle = engine.idlePeriods();
    const qint64 due = SynthSetup::nearestBlock(double(run.frames) + 3000.0);
    engine.send(msg(0x99, 76, 100), run.nsOfFrame(double(run.frames) + 3000.0) - engine.lookAheadNs());
    while (voicesOn(synth, 9).playing == 0 && run.frames < quiet + 48000)
        run.period();
    // The synthesizer's blocks are still on the grid: the note starts on the
    // very frame it is due.
    int first = int(quiet);
    while (first < run.left.size() && std::fabs(run.left[first]) < 1e-4f)
        ++first;
    QVERIFY2(first >= due && first < due + 24, qPrintable(QStringLiteral("%1 / %2").arg(first).arg(due)));
}

void AudioEngineTest::programChangeLoadsBeforeTheAudioThread()
{
    // Samples are loaded when a program is chosen: for a timed change the
    // sending thread loads them (keeping them in memory) before the audio
    // thread applies it, and the first note after it sounds at once.
    AudioEngine engine(manualOptions());
    engine.start();
    QVERIFY(engine.waitUntilReady());
    fluid_synth_t *synth = engine.synth();
    ManualRun run(engine);
    run.period();
    const struct {
        int channel, program, inMemory;
    } cases[] = {{0, 14, 3}, {2, 40, 4}, {5, 73, 5}, {0, 0, 5}};
    // The piano and the drum kit every channel starts with are there already.
    QCOMPARE(engine.programsInMemory(), 2);
    for (const auto &c : cases) {
        const qint64 tick = run.nsOfFrame(double(run.frames));
        engine.send(msg(0xB0 + c.channel, 0, 0), tick);
        engine.send(msg(0xC0 + c.channel, c.program), tick);
        QCOMPARE(engine.programsInMemory(), c.inMemory);
        int sfont = -1, bank = -1, program = -1;
        run.until(run.frames + 48000 / 20);
        fluid_synth_get_program(synth, c.channel, &sfont, &bank, &program);
        QCOMPARE(program, c.program);
        engine.send(msg(0x90 + c.channel, 67, 100), -1);
        const int from = int(run.frames);
        run.period();
        QVERIFY2(peak(run.left, from) > 0.0f, qPrintable(QString::number(c.program)));
        engine.send(msg(0x80 + c.channel, 67), -1);
    }
}

void AudioEngineTest::lookAheadIsTickLatenessPlusOneBuffer()
{
    AudioEngine engine(manualOptions(44100));
    engine.start();
    QVERIFY(engine.waitUntilReady());
    QCOMPARE(engine.bufferFrames(), SynthSetup::kPeriodFrames);
    QCOMPARE(engine.lookAheadNs(), SynthSetup::kTickLatenessNs + qint64(SynthSetup::kPeriodFrames) * 1'000'000'000 / 44100);
    QVERIFY(engine.lookAheadNs() < 12'000'000);
    QVERIFY(engine.outputDescription().contains(QStringLiteral("44100 Hz")));
}
