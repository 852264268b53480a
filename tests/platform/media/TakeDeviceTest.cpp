#include "DeviceTestSupport.h"
#include "TestContext.h"
#include "TestMain.h"

#include "platform/media/EngineMediaDevice.h"
#include "platform/media/TakeRecorder.h"
#include "platform/media/TakeRepair.h"
#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace rec;

namespace {

AudioEngine::Options options(AudioEngine::Output output)
{
    AudioEngine::Options o;
    o.soundFont = smallFont();
    o.output = output;
    return o;
}

// A process id that no process has now.
qint64 deadPid()
{
    for (qint64 pid = 4000000; pid > 1000; pid -= 7919) {
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            return pid;
    }
    return -1;
}

QByteArray bytesOf(const QString &path, qint64 most = -1)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return most < 0 ? f.readAll() : f.read(most);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Frames of the file as libsndfile reads its header.
qint64 framesIn(const QString &path)
{
    SF_INFO info = {};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return -1;
    sf_close(f);
    return info.frames;
}

// The real device and both front ends, as the program has them.
struct Front {
    TestContext t;
    WindowRecorderDisplay mainDisplay{t.window};
    NoticeRecorderDisplay editorDisplay{t.dialogs};
};

}  // namespace

// Takes on the real media device: kept after a kill, after a full disk, at
// an exit whose record folder has gone, and across the two front ends.
class TakeDeviceTest : public QObject {
    Q_OBJECT
private slots:
    // A kill leaves the take with the lengths of an empty file in its header;
    // the next start makes it "录音-….wav" with its real length.
    void leftoversAreKeptAtStart()
    {
        const qint64 dead = deadPid();
        QVERIFY(dead > 0);
        AudioEngine engine(options(AudioEngine::Output::Manual));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        const QString temp = dir.filePath(".recorder-temp");
        EngineMediaDevice dev(engine, temp);
        TapRun run{engine, {}, {}, false};
        QCOMPARE(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN"), 0);
        QCOMPARE(dev.command("RECORD NN"), 0);
        engine.send(MidiMessage::make(Midi::NoteOn, 0, 60, 100), -1);
        for (int i = 0; i < 40; ++i)
            run.period();
        QVERIFY(waitFor([&] { return dev.take()->framesWritten() == 40 * 128; }));
        // The file as the kill found it, and the last frame half written.
        QByteArray killed = bytesOf(dev.take()->tempPath());
        const int dataStart = killed.indexOf("data") + 8;
        QCOMPARE(qFromLittleEndian<quint32>(killed.constData() + dataStart - 4), quint32(0));
        killed += QByteArray(3, '\x7f');
        QCOMPARE(dev.command("STOP NN"), 0);
        const QString whole = dir.filePath("whole.wav");
        QCOMPARE(dev.command("save NN \"" + whole + "\""), 0);

        const QString leftovers = dir.filePath("left");
        QDir().mkpath(leftovers);
        auto leftover = [&](const QString &name, const QByteArray &bytes, const QDateTime &when) {
            const QString path = QDir(leftovers).filePath(name);
            QVERIFY(writeBytes(path, bytes));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        };
        const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5));
        leftover(QString("take-%1-1.wav").arg(dead), killed, when);
        leftover(QString("take-%1-2.wav").arg(dead), killed, when);
        leftover(QString("take-%1-3.wav").arg(dead), killed.left(dataStart), when);  // nothing recorded
        leftover(QString("take-%1-4.wav").arg(dead), "RIFF", when);  // killed while creating
        leftover("take-1-1.wav", killed, when);  // process 1 runs: not a leftover
        leftover("录音.wav", killed, when);

        const QStringList kept = EngineMediaDevice::recoverLeftovers(leftovers, dir.path());
        QCOMPARE(kept, (QStringList{"录音-20240102-030405.wav", "录音-20240102-030405-2.wav"}));
        QCOMPARE(QDir(leftovers).entryList(QDir::Files), (QStringList{"take-1-1.wav", "录音.wav"}));
        const Sound reference = readSound(whole);
        for (const QString &name : kept) {
            const Sound s = readSound(dir.filePath(name));
            QVERIFY(s.ok);
            QCOMPARE(s.frames(), qint64(40 * 128));
            QCOMPARE(s.samples, reference.samples);
            const QByteArray head = bytesOf(dir.filePath(name)).left(8);
            QCOMPARE(head.left(4), QByteArray("RIFF"));
            QCOMPARE(qFromLittleEndian<quint32>(head.constData() + 4),
                     quint32(QFileInfo(dir.filePath(name)).size() - 8));
        }
        QVERIFY(EngineMediaDevice::recoverLeftovers(dir.filePath("none"), dir.path()).isEmpty());
    }

    // A take killed beyond 4 GiB gets an RF64 header in the room its
    // header left for it (a sparse file: no disk is used).
    void aTakeBeyondFourGigabytesBecomesRf64()
    {
        // The header as the recorder writes it (JUNK reserved for ds64).
        AudioEngine engine(options(AudioEngine::Output::Manual));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        EngineMediaDevice dev(engine, dir.filePath("temp"));
        TapRun run{engine, {}, {}, false};
        QCOMPARE(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN"), 0);
        QCOMPARE(dev.command("RECORD NN"), 0);
        run.period();
        QCOMPARE(dev.command("STOP NN"), 0);
        QByteArray header = bytesOf(dev.take()->tempPath());
        header.truncate(header.indexOf("data") + 8);
        QVERIFY(header.contains("JUNK"));
        const QString path = dir.filePath("long.wav");
        QVERIFY(writeBytes(path, header));
        const qint64 frames = (qint64(1) << 30) + 10;  // 4 GiB + 40 bytes of samples
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        if (!f.resize(header.size() + 4 * frames + 2))
            QSKIP("no room for a sparse file of 4 GiB here");
        QString error;
        QCOMPARE(TakeRepair::fixHeader(f, &error), frames);
        QCOMPARE(f.size(), header.size() + 4 * frames);
        f.close();
        const QByteArray head = bytesOf(path, header.size());
        QCOMPARE(head.left(4), QByteArray("RF64"));
        const int ds64 = head.indexOf("ds64");
        QVERIFY(ds64 > 0);
        QCOMPARE(qFromLittleEndian<quint64>(head.constData() + ds64 + 16), quint64(4 * frames));
        QCOMPARE(qFromLittleEndian<quint64>(head.constData() + ds64 + 24), quint64(frames));
        QCOMPARE(framesIn(path), frames);
        QFile::remove(path);
    }

    // The disk fills while recording (here: the process may not write files
    // larger than 256 KiB): the take stops at once, the clock says so, and
    // what was written is saved on another disk.
    void aFullDiskStopsTheTakeAndKeepsWhatWasWritten()
    {
        if (smallFont().isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
        AudioEngine engine(options(AudioEngine::Output::RenderThread));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        Front f;
        EngineMediaDevice dev(engine, f.t.path("temp"));
        WaveRecorder main(WaveRecorder::FrontEnd::MainWindow, dev, f.mainDisplay, f.t.dialogs, f.t.clock,
                          f.t.folder.path());

        struct rlimit old = {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        main.record();
        engine.send(MidiMessage::make(Midi::NoteOn, 0, 60, 100), -1);
        const bool stopped = waitFor([&] {
            QString mode;
            dev.command("status NN mode", &mode);
            return mode == "stopped";
        });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(stopped);
        QVERIFY(!engine.isTapEnabled());

        f.t.clock.advanceMs(1000);
        QCOMPARE(f.t.window.FJWZ(), QString("录音写入失败。。。"));
        // The system's own reason, not an unknown error.
        QVERIFY2(f.t.window.XSWB().startsWith("录音已停止：录音写入磁盘失败（磁盘可能已满）：" + qt_error_string(EFBIG))
                     && f.t.window.XSWB().endsWith("秒仍可保存到别的磁盘。"),
                 qPrintable(f.t.window.XSWB()));
        QVERIFY(!main.Lyjsj().isEnabled());
        QVERIFY(main.BcLYEnabled());

        const qint64 written = dev.take()->framesWritten();
        QVERIFY(written > 0);
        const QString elsewhere = f.t.path("另一个磁盘.wav");
        f.t.dialogs.saveAnswers << elsewhere;
        main.save();
        QCOMPARE(f.t.window.FJWZ(), QString("成功保存录音。。。"));
        const qint64 saved = framesIn(elsewhere);
        QVERIFY2(saved >= written && saved * 4 < 256 * 1024, qPrintable(QString::number(saved)));
    }

    // The record folder is gone at exit (a removed stick, a deleted folder):
    // the take, still open, is kept in the documents folder.
    void aGoneRecordFolderKeepsTheTakeElsewhere()
    {
        AudioEngine engine(options(AudioEngine::Output::Manual));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        Front f;
        const QString folder = f.t.path("演奏记录");
        QVERIFY(QDir().mkpath(folder));
        EngineMediaDevice dev(engine, QDir(folder).filePath(".recorder-temp"));
        WaveRecorder main(WaveRecorder::FrontEnd::MainWindow, dev, f.mainDisplay, f.t.dialogs, f.t.clock, folder);
        TapRun run{engine, {}, {}, false};
        main.record();
        for (int i = 0; i < 20; ++i)
            run.period();
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeBytes(folder, "not a folder"));

        const QString documents = f.t.path("文档/演奏记录");
        const QString told = main.shutDown({documents, f.t.path("数据")});
        const QStringList files = QDir(documents).entryList({"录音-*.wav"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QString path = QDir(documents).filePath(files[0]);
        QCOMPARE(told, QStringLiteral("未保存的录音无法存入“演奏记录”文件夹（无法创建文件夹“%1”），已存为：\n%2")
                           .arg(folder, path));
        QCOMPARE(framesIn(path), qint64(20 * 128));
        QVERIFY(!dev.holdsTake());
    }

    // Nothing can keep the take at exit: the device is not closed, and when
    // it goes it leaves the take for the next start.
    void aTakeNobodyCouldKeepIsLeftForTheNextStart()
    {
        AudioEngine engine(options(AudioEngine::Output::Manual));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        QTemporaryDir dir;
        const QString temp = dir.filePath(".recorder-temp");
        {
            EngineMediaDevice dev(engine, temp);
            TapRun run{engine, {}, {}, false};
            QCOMPARE(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN"), 0);
            QCOMPARE(dev.command("RECORD NN"), 0);
            for (int i = 0; i < 10; ++i)
                run.period();
            QCOMPARE(dev.command("stop NN"), 0);
        }
        QCOMPARE(QDir(temp).entryList({"take-*.wav"}, QDir::Files).size(), 1);
        // A saved take, or one closed, is not left behind.
        {
            EngineMediaDevice dev(engine, temp);
            QCOMPARE(dev.command("OPEN NEW TYPE WaveAudio ALIAS NN"), 0);
            QCOMPARE(dev.command("RECORD NN"), 0);
            QCOMPARE(dev.command("save NN \"" + dir.filePath("a.wav") + "\""), 0);
        }
        QCOMPARE(QDir(temp).entryList({"take-*.wav"}, QDir::Files).size(), 1);
    }

    // On the render thread: the main window records, the editor stops it; the
    // main window's clock keeps the take, the editor saves it; the editor's
    // own take, stopped by leaving, is the main window's to save.
    void bothFrontEndsShareOneTake()
    {
        if (smallFont().isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
        AudioEngine engine(options(AudioEngine::Output::RenderThread));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        Front f;
        EngineMediaDevice dev(engine, f.t.path("temp"));
        WaveRecorder main(WaveRecorder::FrontEnd::MainWindow, dev, f.mainDisplay, f.t.dialogs, f.t.clock,
                          f.t.folder.path());
        WaveRecorder editor(WaveRecorder::FrontEnd::Editor, dev, f.editorDisplay, f.t.dialogs, f.t.clock,
                            f.t.folder.path());

        // 300 ms of sound rendered into a take, however long that takes.
        const auto renderMore = [&engine] {
            const qint64 until = engine.renderedFrames() + engine.sampleRate() * 3 / 10;
            return waitFor([&] { return engine.renderedFrames() >= until; });
        };
        main.record();
        engine.send(MidiMessage::make(Midi::NoteOn, 0, 60, 100), -1);
        QVERIFY(renderMore());
        editor.LUYINJIClicked(1);
        f.t.clock.advanceMs(1000);
        QVERIFY(!main.Lyjsj().isEnabled());
        QVERIFY(main.BcLYEnabled());
        const QString first = f.t.path("主窗口的录音.wav");
        f.t.dialogs.saveAnswers << first;
        editor.LUYINJIClicked(3);
        QVERIFY(framesIn(first) >= engine.sampleRate() / 4);

        editor.LUYINJIClicked(2);
        QVERIFY(renderMore());
        editor.leave();
        QString mode;
        dev.command("status NN mode", &mode);
        QCOMPARE(mode, QString("stopped"));
        QVERIFY(main.BcLYEnabled());
        const QString second = f.t.path("编辑器的录音.wav");
        f.t.dialogs.saveAnswers << second;
        main.save();
        QCOMPARE(f.t.window.FJWZ(), QString("成功保存录音。。。"));
        QVERIFY(framesIn(second) >= engine.sampleRate() / 4);

        editor.LUYINJIClicked(3);
        QCOMPARE(f.t.dialogs.messages, QStringList{"没有可保存的录音：请先录音，再保存。"});
    }
};

DZQ_REGISTER_TEST(TakeDeviceTest)
#include "TakeDeviceTest.moc"
