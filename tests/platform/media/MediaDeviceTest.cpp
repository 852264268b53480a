#include "DeviceTestSupport.h"
#include "TestContext.h"
#include "TestMain.h"

#include "controllers/PerformanceControllers.h"
#include "headless/ScoreExport.h"
#include "platform/media/EngineMediaDevice.h"
#include "platform/media/MediaCommand.h"
#include "platform/audio/SynthSetup.h"
#include "platform/media/TakeRecorder.h"
#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <chrono>
#include <sys/stat.h>
#include <cmath>

using namespace rec;

namespace {

AudioEngine::Options manual()
{
    AudioEngine::Options o;
    o.soundFont = smallFont();
    o.output = AudioEngine::Output::Manual;
    return o;
}

QStringList takeFiles(const QString &folder)
{
    return QDir(folder).entryList({"take-*"}, QDir::Files | QDir::Hidden);
}

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Renders until the device has nothing more to play (or `limit` periods).
void playOut(EngineMediaDevice &dev, TapRun &run, int limit = 2000)
{
    for (int i = 0; i < limit; ++i) {
        // Give the feeder a moment, as a real callback would come later. A busy
        // machine can keep the feeder thread off the processor for a while;
        // only at the file's end does the wait run out.
        for (int wait = 0; wait < 500 && run.engine.playbackPushed() - run.engine.playbackTaken() < 128; ++wait)
            QThread::msleep(1);
        run.period();
        QString mode;
        dev.command("status NN mode", &mode);
        if (mode == "stopped")
            return;
    }
}

}  // namespace

class MediaDeviceTest : public QObject {
    Q_OBJECT
private slots:
    void commandsAreParsed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verb");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("target");  // OPEN: device, SAVE: path, else the words
        using V = MediaCommand::Verb;
        QTest::newRow("open new") << "OPEN NEW TYPE WaveAudio ALIAS NN" << int(V::Open) << "NN" << "NEW";
        QTest::newRow("open quoted") << "OPEN \"/a b/录音 1.wav\" TYPE WaveAudio ALIAS NN" << int(V::Open) << "NN"
                                     << "/a b/录音 1.wav";
        QTest::newRow("open unquoted spaces") << "open /a b/type x.wav type waveaudio alias nn" << int(V::Open)
                                              << "nn" << "/a b/type x.wav";
        QTest::newRow("save quoted") << "save NN \"/x y/a.wav\"" << int(V::Save) << "NN" << "/x y/a.wav";
        QTest::newRow("save unquoted") << "SAVE NN /x y/a.wav" << int(V::Save) << "NN" << "/x y/a.wav";
        QTest::newRow("seek") << "seek NN to start" << int(V::Seek) << "NN" << "to start";
        QTest::newRow("play") << "PLAY NN FROM 0" << int(V::Play) << "NN" << "from 0";
        QTest::newRow("status") << "status NN mode" << int(V::Status) << "NN" << "mode";
        QTest::newRow("close mixed") << "Close NN" << int(V::Close) << "NN" << "";
        QTest::newRow("close animation") << "CLOSE ANIMATION" << int(V::Close) << "ANIMATION" << "";
        QTest::newRow("unknown") << "PAUSE NN" << int(V::Unknown) << "NN" << "";
        QTest::newRow("verb alone") << "CLOSE" << int(V::Unknown) << "" << "";
        QTest::newRow("empty") << "" << int(V::Unknown) << "" << "";
    }
    void commandsAreParsed()
    {
        QFETCH(QString, text);
        QFETCH(int, verb);
        QFETCH(QString, alias);
        QFETCH(QString, target);
        const MediaCommand c = MediaCommand::parse(text);
        QCOMPARE(int(c.verb), verb);
        QCOMPARE(c.alias, alias);
        if (c.verb == MediaCommand::Verb::Open)
            QCOMPARE(c.device, target);
        else if (c.verb == MediaCommand::Verb::Save)
            QCOMPARE(c.path, target);
        else if (c.verb != MediaCommand::Verb::Unknown)
            QCOMPARE(c.words.join(' '), target);
    }

    // The state table, on an engine rendered by hand: the take holds exactly
    // the frames rendered between RECORD and STOP.
    void recordingStatesAndExactTake()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        const QString temp = dir.filePath("temp");
        EngineMediaDevice dev(engine, temp);
        TapRun run{engine, {}, {}, false};
        QString mode = "x";

        QVERIFY(dev.command("CLOSE ANIMATION") != 0);
        QVERIFY(dev.command("status NN mode", &mode) != 0);
        QCOMPARE(mode, QString());
        QVERIFY(dev.command("RECORD NN") != 0);

        QCOMPARE(dev.command("open new type waveaudio alias nn"), 0);
        QVERIFY(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN") != 0);  // already open
        QCOMPARE(dev.command("status NN mode", &mode), 0);
        QCOMPARE(mode, QString("stopped"));
        run.period();  // before RECORD: not in the take
        QCOMPARE(dev.command("Record NN"), 0);
        QVERIFY(engine.isTapEnabled());
        dev.command("STATUS nn MODE", &mode);
        QCOMPARE(mode, QString("recording"));
        engine.send(MidiMessage::make(Midi::NoteOn, 0, 60, 100), -1);  // a note, so the take is not silence
        for (int i = 0; i < 75; ++i)
            run.period();
        QCOMPARE(dev.command("CLOSE ANIMATION") != 0, true);  // changes nothing
        QCOMPARE(dev.command("STOP NN"), 0);
        run.period();  // after STOP: not in the take
        dev.command("status NN mode", &mode);
        QCOMPARE(mode, QString("stopped"));
        QVERIFY(dev.command("PLAY NN FROM 0") != 0);  // a take is saved, not played

        const QString quoted = dir.filePath("我的 录音.wav");
        QCOMPARE(dev.command("save NN \"" + quoted + "\""), 0);
        const QString unquoted = dir.filePath("第二 份.wav");
        QCOMPARE(dev.command("save NN " + unquoted), 0);
        for (const QString &path : {quoted, unquoted}) {
            const Sound s = readSound(path);
            QVERIFY(s.ok);
            QCOMPARE(s.frames(), qint64(75 * 128));
            QCOMPARE(s.rate, 48000);
            QCOMPARE(s.channels, 2);
            // A RIFF WAVE file while it fits (RF64 only beyond 4 GB).
            QCOMPARE(s.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray head = f.read(12);
            QCOMPARE(head.left(4), QByteArray("RIFF"));
            QCOMPARE(head.mid(8, 4), QByteArray("WAVE"));
            float peak = 0;
            for (float v : s.samples)
                peak = qMax(peak, std::fabs(v));
            QVERIFY(peak > 0.01f);
        }

        // Recording goes on after a stop, appended to the take.
        QCOMPARE(dev.command("RECORD NN"), 0);
        for (int i = 0; i < 10; ++i)
            run.period();
        QCOMPARE(dev.command("save NN \"" + quoted + "\""), 0);  // stops first
        QCOMPARE(readSound(quoted).frames(), qint64(85 * 128));
        QCOMPARE(engine.tapLostFrames(), quint64(0));

        QCOMPARE(takeFiles(temp).size(), 1);
        QCOMPARE(dev.command("close NN"), 0);
        QVERIFY(takeFiles(temp).isEmpty());  // the temporary data goes with the take
        QVERIFY(dev.command("status NN mode", &mode) != 0);
    }

    // A save that cannot be written says why and leaves the take and any
    // existing file as they were.
    void failedSaves()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        TapRun run{engine, {}, {}, false};
        QVERIFY(dev.command("save NN \"" + dir.filePath("a.wav") + "\"") != 0);  // nothing open
        QCOMPARE(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN"), 0);
        dev.command("RECORD NN");
        for (int i = 0; i < 10; ++i)
            run.period();

        QVERIFY(dev.command("save NN \"" + dir.filePath("没有/a.wav") + "\"") != 0);
        QVERIFY(!dev.errorText().isEmpty());
        QDir(dir.path()).mkdir("文件夹");
        QVERIFY(dev.command("save NN \"" + dir.filePath("文件夹") + "\"") != 0);
        QVERIFY(dev.errorText().contains("文件夹"));
        QVERIFY(dev.command("save NN") != 0);

        // Still there, and saved over an existing file whole.
        const QString existing = dir.filePath("旧.wav");
        QFile old(existing);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
        old.close();
        QCOMPARE(dev.command("save NN \"" + existing + "\""), 0);
        QCOMPARE(readSound(existing).frames(), qint64(10 * 128));
        QVERIFY(QFileInfo(existing).size() < 100000);
    }

    // A WAV file at the engine's rate reaches the output sample for sample,
    // through the master volume.
    void playedSamplesReachTheTap()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        engine.setWaveVolume(0x60006000);
        engine.setTapEnabled(true);
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        const QString path = dir.filePath("锯齿 波.wav");
        QVERIFY(writeSound(path, 48000, 2, 3000, [](int i, int c) {
            return (c == 0 ? 1.0f : -0.5f) * float(i % 200 - 100) / 128.0f;
        }));
        const Sound file = readSound(path);
        QString mode;

        QCOMPARE(dev.command("OPEN \"" + path + "\" TYPE WaveAudio ALIAS NN"), 0);
        QCOMPARE(dev.command("seek NN to start"), 0);
        QCOMPARE(dev.command("PLAY NN FROM 0"), 0);
        QCOMPARE(dev.command("status NN mode", &mode), 0);
        QCOMPARE(mode, QString("playing"));
        TapRun run{engine, {}, {}};
        playOut(dev, run);
        dev.command("status NN mode", &mode);
        QCOMPARE(mode, QString("stopped"));

        const float gain = SynthSetup::sideGain(0x6000);
        const int first = run.firstSound();
        QVERIFY(first >= 0);
        for (int i = 0; i < 3000; ++i) {
            QVERIFY(std::fabs(run.left[first + i] - gain * file.at(i, 0)) < 1e-5f);
            QVERIFY(std::fabs(run.right[first + i] - gain * file.at(i, 1)) < 1e-5f);
        }
        QCOMPARE(run.lastSound() - first + 1, 3000);

        // Played again from the start; a stop drops what was buffered.
        TapRun again{engine, {}, {}};
        QCOMPARE(dev.command("PLAY NN FROM 0"), 0);
        // A period's worth buffered by the feeder before the period comes.
        for (int wait = 0; wait < 10000 && engine.playbackPushed() - engine.playbackTaken() < 128; ++wait)
            QThread::msleep(1);
        again.period();
        QCOMPARE(dev.command("STOP NN"), 0);
        dev.command("status NN mode", &mode);
        QCOMPARE(mode, QString("stopped"));
        for (int i = 0; i < 30; ++i)
            again.period();
        QCOMPARE(again.lastSound(), 127);
        QCOMPARE(dev.command("Close NN"), 0);
    }

    // Another rate is resampled; one channel sounds on both sides.
    void otherRatesAreResampled()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        engine.setTapEnabled(true);
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        const QString path = dir.filePath("mono.wav");
        QVERIFY(writeSound(path, 44100, 1, 44100, [](int i, int) { return 0.5f * float(std::sin(2 * M_PI * 441.0 * i / 44100)); }));
        QCOMPARE(dev.command("OPEN " + path + " TYPE WaveAudio ALIAS NN"), 0);  // unquoted works too
        QCOMPARE(dev.command("PLAY NN FROM 0"), 0);
        TapRun run{engine, {}, {}};
        playOut(dev, run, 4000);
        const int first = run.firstSound();
        const int length = run.lastSound() - first + 1;
        QVERIFY2(qAbs(length - 48000) < 100, qPrintable(QString::number(length)));
        double energy = 0;
        for (int i = first + 1000; i < first + 47000; ++i) {
            QVERIFY(std::fabs(run.left[i] - run.right[i]) < 1e-6f);
            energy += double(run.left[i]) * run.left[i];
        }
        const double rms = std::sqrt(energy / 46000);
        const double expected = 0.5 / std::sqrt(2.0) * SynthSetup::sideGain(0x6000);
        QVERIFY2(std::fabs(rms - expected) < 0.02 * expected, qPrintable(QString::number(rms)));
    }

    void unplayableFilesAreRefused()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        QFile junk(dir.filePath("乐谱.wav"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("KC8KD8TZ\r\n");
        junk.close();
        const QString slow = dir.filePath("100Hz.wav");
        QVERIFY(writeSound(slow, 100, 1, 100, [](int, int) { return 0.5f; }));
        // A pipe would block the reading for ever; it is no sound file.
        const QString fifo = dir.filePath("管道.wav");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const struct {
            QString path;
            QString error;
        } cases[] = {
            {junk.fileName(), "“乐谱.wav”不是可以播放的声音文件"},
            {dir.filePath("不存在.wav"), "找不到文件“不存在.wav”"},
            {dir.path(), "“" + QFileInfo(dir.path()).fileName() + "”不是声音文件"},
            {fifo, "“管道.wav”不是声音文件"},
            {"/dev/null", "“null”不是声音文件"},
            {slow, "“100Hz.wav”的采样率 100 Hz 无法播放"},
        };
        for (const auto &c : cases) {
            QVERIFY(dev.command("OPEN \"" + c.path + "\" TYPE WaveAudio ALIAS NN") != 0);
            QCOMPARE(dev.errorText(), c.error);
            QVERIFY(dev.command("PLAY NN FROM 0") != 0);
        }
        QCOMPARE(engine.playbackPushed(), quint64(0));
    }

    // GSM 6.10 in WAV cannot seek, not even to its start: it plays from the
    // start all the same, and again.
    void gsmFilesPlay()
    {
        AudioEngine engine(manual());
        engine.start();
        QVERIFY(engine.waitUntilReady());
        engine.setTapEnabled(true);
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        const QString path = dir.filePath("电话 录音.wav");
        SF_INFO info = {};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_GSM610;
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
        QVERIFY(f);
        QVector<float> tone(8000);
        for (int i = 0; i < tone.size(); ++i)
            tone[i] = 0.5f * float(std::sin(2 * M_PI * 400.0 * i / 8000));
        QCOMPARE(sf_writef_float(f, tone.data(), tone.size()), sf_count_t(tone.size()));
        sf_close(f);

        QCOMPARE(dev.command("OPEN \"" + path + "\" TYPE WaveAudio ALIAS NN"), 0);
        QCOMPARE(dev.command("seek NN to start"), 0);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(dev.command("PLAY NN FROM 0"), 0);
            TapRun run{engine, {}, {}};
            playOut(dev, run, 4000);
            double energy = 0;
            for (float v : run.left)
                energy += double(v) * v;
            // One second of the tone at about half scale (through the volume).
            const double seconds = double(run.lastSound() - run.firstSound()) / engine.sampleRate();
            QVERIFY2(run.firstSound() >= 0 && seconds > 0.9 && seconds < 1.2, qPrintable(QString::number(seconds)));
            QVERIFY2(energy / engine.sampleRate() > 0.01, qPrintable(QString::number(energy)));
        }
    }

    // The whole road: a score plays through the engine's render thread (no
    // sound card) while the main window's recorder records; the saved file
    // lasts as long as the recording and sounds like the offline render of
    // the same score; the delete button then deletes it.
    void takeOfAPlayingScoreSoundsLikeTheScore()
    {
        if (smallFont().isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
        AudioEngine::Options o;
        o.soundFont = smallFont();
        o.output = AudioEngine::Output::RenderThread;
        AudioEngine engine(o);
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QVERIFY(engine.hasSoundFont());

        TestContext t;
        EngineMediaDevice dev(engine, t.path("temp"));
        WindowRecorderDisplay display(t.window);
        WaveRecorder recorder(WaveRecorder::FrontEnd::MainWindow, dev, display, t.dialogs, t.clock, t.folder.path());

        // 75 beats per minute: every event on the engine's 64-frame grid.
        const QString score = "VS4KC4KE4KG4HC4KG4KE4KC8TZ";
        ScoreExportOptions options;
        options.soundFont = smallFont();
        options.wavTailNs = 1'000'000'000;
        const QString offlinePath = t.path("offline.wav");
        const ScoreExport::Result offline =
            ScoreExport::exportScore(score, offlinePath, ScoreExport::Kind::Wav, t.folder.path(), t.dialogs, options);
        QCOMPARE(int(offline.status), int(ScoreExport::Ok));

        const qint64 recordStart = steadyMs();
        const qint64 renderedBefore = engine.renderedFrames();
        recorder.record();
        QVERIFY(recorder.RecorderRecording());
        const qint64 renderedOnceRecording = engine.renderedFrames();
        const qint64 base = (steadyMs() + 100) * 1'000'000;
        for (const TimedMidiMessage &m : offline.performance.messages)
            engine.send(m.message, base + m.ns);
        const qint64 endMs = base / 1'000'000 + offline.performance.lastMessageNs() / 1'000'000 + 1200;
        while (steadyMs() < endMs)
            QThread::msleep(10);
        const QString saved = t.path("演奏 录音.wav");
        t.dialogs.saveAnswers << saved;
        const qint64 recordMs = steadyMs() - recordStart;
        const qint64 rendered = engine.renderedFrames() - renderedBefore;
        recorder.save();
        // The render thread runs on while the recording starts and stops: the
        // take holds at least what was rendered between the two commands and
        // at most what was rendered around them.
        const qint64 atLeast = rendered + renderedBefore - renderedOnceRecording;
        const qint64 atMost = engine.renderedFrames() - renderedBefore;
        QCOMPARE(t.window.FJWZ(), QString("成功保存录音。。。"));
        QCOMPARE(t.window.LastFilePath, saved);
        QVERIFY(takeFiles(t.path("temp")).isEmpty());

        const Sound live = readSound(saved);
        const Sound ref = readSound(offlinePath);
        QVERIFY(live.ok && ref.ok);
        const double liveMs = 1000.0 * double(live.frames()) / live.rate;
        // Every frame rendered while recording is in the take, once.
        QVERIFY2(live.frames() >= atLeast - 3 * SynthSetup::kPeriodFrames
                     && live.frames() <= atMost + 3 * SynthSetup::kPeriodFrames,
                 qPrintable(QString("take %1 frames, rendered %2 to %3").arg(live.frames()).arg(atLeast).arg(atMost)));
        // The render thread skips time it could not keep up with (a machine
        // too busy to play in real time); otherwise the take lasts as long
        // as the recording did.
        const double renderedMs = 1000.0 * double(rendered) / live.rate;
        if (std::fabs(renderedMs - double(recordMs)) > 20.0)
            qWarning("the render thread fell behind: %.0f ms rendered in %lld ms", renderedMs, recordMs);
        else
            QVERIFY2(std::fabs(liveMs - double(recordMs)) <= 20.0,
                     qPrintable(QString("take %1 ms, recorded for %2 ms").arg(liveMs).arg(recordMs)));

        // Mono mixes, aligned at the first sound and then to the best lag.
        QVector<float> a, b;
        for (qint64 i = 0; i < live.frames(); ++i)
            a << live.at(i, 0) + live.at(i, 1);
        for (qint64 i = 0; i < ref.frames(); ++i)
            b << ref.at(i, 0) + ref.at(i, 1);
        auto onset = [](const QVector<float> &x) {
            for (int i = 0; i < x.size(); ++i)
                if (std::fabs(x[i]) > 0.01f)
                    return i;
            return -1;
        };
        const int aStart = onset(a), bStart = onset(b);
        QVERIFY(aStart >= 0 && bStart >= 0);
        int bestLag = 0;
        double best = -1;
        for (int lag = -128; lag <= 128; ++lag) {
            const double c = correlation(a, aStart + lag, b, bStart, 9600);
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        const int n = int(qMin(a.size() - aStart - bestLag, b.size() - bStart));
        const double whole = correlation(a, aStart + bestLag, b, bStart, n);
        qInfo("take %.1f ms for %lld ms of recording; correlation with the offline render %.4f",
              liveMs, recordMs, whole);
        QVERIFY2(whole >= 0.95, qPrintable(QString::number(whole)));

        // The score box's delete button deletes the recording just saved.
        PerformanceControllers c(t.ctx, t.window);
        c.scoreFiles.deleteClicked();
        QVERIFY(!QFileInfo::exists(saved));
        QCOMPARE(t.window.FJWZ(), QString("成功删除文件。。。"));
    }
};

DZQ_REGISTER_TEST(MediaDeviceTest)
#include "MediaDeviceTest.moc"
