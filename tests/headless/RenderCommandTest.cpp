#include "ExportTestSupport.h"
#include "ProgramRun.h"
#include "RecordingMidiBackend.h"
#include "TestMain.h"

#include "headless/RenderCommand.h"
#include "platform/files/SingleInstance.h"
#include "score/ScorePlayer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run runCommand(const QStringList &arguments, const QString &recordFolder)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = RenderCommand::run(QStringList{QStringLiteral("dzq")} + arguments, recordFolder, out, err);
    out.flush();
    err.flush();
    return r;
}

}  // namespace

// "dzq --render SCORE -o OUT": arguments, messages and exit status.
class RenderCommandTest : public QObject {
    Q_OBJECT
private slots:
    void badArgumentsGiveStatusOneAndTheUsage()
    {
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        writeFile(score, "KC8TZ\r\n");
        const QString out = dir.filePath("a.mid");
        const QList<QStringList> cases{
            {"--render"},
            {"--render", score},
            {"-o", out},
            {"--render", score, "-o", out, "--render", score},
            {"--render", score, "-o", out, "--midi-log", "x"},
            {"--render", score, "-o", out, "extra"},
        };
        for (const QStringList &args : cases) {
            const Run r = runCommand(args, dir.path());
            QVERIFY2(r.status == 1, qPrintable(args.join(' ')));
            QVERIFY(r.err.contains(RenderCommand::usage()));
            QVERIFY(r.out.isEmpty());
        }
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(RenderCommand::requested({"dzq", "--render", "x"}));
        QVERIFY(RenderCommand::requested({"dzq", "-o", "x"}));
        QVERIFY(!RenderCommand::requested({"dzq", "--midi-log", "x"}));
    }

    void scoreFileIsReadAsTheOpenButtonReadsIt()
    {
        QTemporaryDir dir;
        // Three lines joined; GBK; nothing upper-cased.
        const QString score = dir.filePath("three.txt");
        writeFile(score, "KC8KD8\r\nKE8\r\nTZ\r\n");
        const QString out = dir.filePath("three.mid");
        Run r = runCommand({"--render", score, "-o", out}, dir.path());
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.out.count('\n'), 1);
        const MidiFileContents f = readMidiFile(out);
        QVERIFY(f.messagesAt(1328).contains(RecordingMidiBackend::noteOn(0, 64, 70)));
        QCOMPARE(f.lengthMs, 1992);

        // An error on the third line is placed in the file as well.
        writeFile(score, "KC8KD8\r\nKE8\r\nzz8\r\n");
        r = runCommand({"--render", score, "-o", out}, dir.path());
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(ScorePlayer::errorMessage()));
        QVERIFY(r.err.contains(QStringLiteral("第10个字符")));
        QVERIFY(r.err.contains(QStringLiteral("第3行第1列")));
        QVERIFY(readMidiFile(out).messagesAt(1328).contains(RecordingMidiBackend::noteOn(0, 64, 70)));

        int line = 0;
        int column = 0;
        QVERIFY(RenderCommand::lineAndColumn("AB\rCD\r\nE\nF", 4, &line, &column));
        QCOMPARE(line, 2);
        QCOMPARE(column, 2);
        QVERIFY(RenderCommand::lineAndColumn("AB\rCD\r\nE\nF", 6, &line, &column));  // a lone LF stays
        QCOMPARE(line, 3);
        QCOMPARE(column, 2);
        QVERIFY(!RenderCommand::lineAndColumn("AB", 4, &line, &column));
    }

    void missingScoreOrUnwritableOutputLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("x.mid");
        Run r = runCommand({"--render", dir.filePath("none.txt"), "-o", out}, dir.path());
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("none.txt")));
        QVERIFY(!QFileInfo::exists(out));

        const QString score = dir.filePath("a.txt");
        writeFile(score, "KC8TZ");
        r = runCommand({"--render", score, "-o", dir.filePath("no/such/folder/x.mid")}, dir.path());
        QCOMPARE(r.status, 1);
        QVERIFY(!r.err.isEmpty());
        r = runCommand({"--render", score, "-o", dir.filePath("x.ogg")}, dir.path());
        QCOMPARE(r.status, 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("x.ogg")));
    }

    // The program itself, as a user runs it.
    void programExitsWithZeroOneOrTwo()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.txt");
        const QString bad = dir.filePath("bad.txt");
        writeFile(good, "KC8KD8TZ\r\n");
        writeFile(bad, "KC8KD");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");

        ProgramRun r = runProgram({"--render", good, "-o", dir.filePath("good.mid")}, env);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(readMidiFile(dir.filePath("good.mid")).lengthMs, 1328);

        r = runProgram({"--render", bad, "-o", dir.filePath("bad.mid")}, env);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(ScorePlayer::errorMessage()));
        QVERIFY(r.err.contains(QStringLiteral("第5个字符")));
        QVERIFY(readMidiFile(dir.filePath("bad.mid")).messagesAt(664).contains(RecordingMidiBackend::noteOn(0, 62, 70)));

        r = runProgram({"--render", dir.filePath("none.txt"), "-o", dir.filePath("none.mid")}, env);
        QCOMPARE(r.status, 1);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath("none.mid")));

        // No display at all, and another copy of the program running: the
        // export needs neither a window nor the single-instance lock.
        SingleInstance running;
        running.acquire();
        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            bare.remove(name);
        r = runProgram({"--render", good, "-o", dir.filePath("bare.mid")}, bare);
        QCOMPARE(r.status, 0);
        QVERIFY(QFileInfo::exists(dir.filePath("bare.mid")));
    }

    // A stop signal ends a long WAV export within moments, leaves no file
    // (nor a temporary one) and ends the program by that signal.
    void aStopSignalEndsALongWavExportAtOnce_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("Ctrl+C") << int(SIGINT);
    }
    void aStopSignalEndsALongWavExportAtOnce()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir dir;
        // Eleven minutes of drums: far longer to render than the test waits.
        writeFile(dir.filePath("long.txt"), "JP1" + QByteArray("XZ99").repeated(80) + "TZ");
        const QByteArray program = DZQ_BINARY;
        const QByteArray score = QFile::encodeName(dir.filePath("long.txt"));
        const QByteArray output = QFile::encodeName(dir.filePath("long.wav"));
        const QByteArray messages = QFile::encodeName(dir.filePath("err.log"));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, messages.constData(), O_WRONLY | O_CREAT, 0644);
        char *argv[] = {const_cast<char *>(program.constData()), const_cast<char *>("--render"),
                        const_cast<char *>(score.constData()), const_cast<char *>("-o"),
                        const_cast<char *>(output.constData()), nullptr};
        // Started with the signal blocked, as a service manager or a
        // container's first process may leave it: its default action, to
        // end the program, never comes.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, signalNumber);
        posix_spawnattr_setsigmask(&attributes, &blocked);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        pid_t pid = 0;
        QCOMPARE(posix_spawn(&pid, program.constData(), &actions, &attributes, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        // Rendering under way: the program holds its output open (a file in
        // the folder, perhaps without a name yet), however long the sound
        // font took to load.
        const auto writing = [&] {
            const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
            for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
                const QString target = fd.symLinkTarget();
                if (target.startsWith(dir.path()) && !target.endsWith(QLatin1String("err.log"))
                    && !target.endsWith(QLatin1String("long.txt")))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(writing(), 30000);
        int status = 0;
        QCOMPARE(waitpid(pid, &status, WNOHANG), 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(kill(pid, signalNumber), 0);
        while (waitpid(pid, &status, WNOHANG) == 0 && timer.elapsed() < 20000)
            QTest::qWait(20);
        const qint64 took = timer.elapsed();
        if (took >= 20000) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        QVERIFY2(took < 3000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signalNumber);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"err.log", "long.txt"}));
        QFile log(dir.filePath("err.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString said = QString::fromUtf8(log.readAll());
        QVERIFY2(said.contains(ScoreExport::cancelledMessage()), qPrintable(said));
    }
};

DZQ_REGISTER_TEST(RenderCommandTest)
#include "RenderCommandTest.moc"
