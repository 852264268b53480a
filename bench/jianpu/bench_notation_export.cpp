// Pictures of long scores: how long the real program takes and how much
// memory it holds at most to draw the notation of a score of 32 766
// characters as PNG, SVG and PDF from the command line (target for PNG:
// under 5 s and 300 MiB), the same for a score of 1 MiB, and "保存图片" in the
// window: its time and the longest the window's event loop waited meanwhile
// (it must keep drawing). The bytes of the files written beside each.
//
// The long score is rests of 99 eighths, 14 cells to a token: about 5000
// rows, the score the pictures once took 49 s and 5.4 GB for.
//
// Run: QT_QPA_PLATFORM=offscreen ./bench_notation_export [rounds]

#include "jianpu/NotationExport.h"
#include "jianpu/NotationSheet.h"
#include "platform/dialogs/QtUserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <tuple>
#include <utility>
#include <vector>

extern char **environ;

namespace {

constexpr double kTargetSeconds = 5;
constexpr double kTargetMiB = 300;

// `unit` repeated, then notes, ending in "TZ": exactly `length` characters.
QByteArray fitted(const QByteArray &head, const QByteArray &unit, int length)
{
    QByteArray score = head;
    while (score.size() + unit.size() + 2 <= length)
        score += unit;
    if (length - 2 - score.size() == 1)
        score.chop(unit.size());  // one character cannot be filled
    while (length - 2 - score.size() > 4)
        score += "KC8";
    static const char *const tails[] = {"", "", "KC", "KC8", "KC10"};
    return score + tails[length - 2 - score.size()] + "TZ";
}

struct Measure {
    double seconds = 0;
    double mib = 0;  // peak resident memory
    int status = -1;
    qint64 bytes = 0;  // of the files written
    int files = 0;
};

// The files in `dir` and their bytes together.
std::pair<int, qint64> filesIn(const QString &dir)
{
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files);
    qint64 bytes = 0;
    for (const QFileInfo &file : files)
        bytes += file.size();
    return {int(files.size()), bytes};
}

// The peak resident memory of a running process so far (VmHWM), in KiB.
long peakKiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Runs the program on its own and measures it as /usr/bin/time -v would:
// the time from start to end and the peak memory, read until it ends (the
// rusage of a spawned child would count this process's memory too).
Measure runProgram(const QStringList &arguments)
{
    std::vector<QByteArray> args{QByteArray(DZQ_BINARY)};
    for (const QString &a : arguments)
        args.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Measure m;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started)
        return m;
    long peak = 0;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        peak = std::max(peak, peakKiB(pid));
        usleep(2000);
    }
    m.seconds = clock.nsecsElapsed() / 1e9;
    m.mib = peak / 1024.0;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

void commandLine(const QString &name, const QString &score, const QString &suffix, int rounds, bool target)
{
    std::vector<Measure> runs;
    for (int i = 0; i < rounds; ++i) {
        QTemporaryDir out;
        runs.push_back(runProgram({QStringLiteral("--render"), score, QStringLiteral("-o"),
                                   out.filePath(QStringLiteral("简谱.") + suffix)}));
        std::tie(runs.back().files, runs.back().bytes) = filesIn(out.path());
    }
    std::sort(runs.begin(), runs.end(), [](const Measure &a, const Measure &b) { return a.seconds < b.seconds; });
    const Measure &median = runs[runs.size() / 2];
    double mib = 0;
    for (const Measure &r : runs)
        mib = std::max(mib, r.mib);
    std::printf("%-28s %-4s exit %d  median %6.2f s  peak %7.1f MiB  %4d files %9.1f KiB  (load %.2f)%s\n",
                qPrintable(name), qPrintable(suffix), median.status, median.seconds, mib, median.files,
                median.bytes / 1024.0, loadAverage(),
                !target ? "" : median.seconds < kTargetSeconds && mib < kTargetMiB ? "  目标达到" : "  目标未达到");
}

QString residentLine(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return QString::fromLatin1(line.mid(int(qstrlen(key))).trimmed());
    }
    return QString();
}

// "保存图片": the export on a thread behind the progress box, the event
// loop timed by a 10 ms timer meanwhile.
void window(const QString &scorePath)
{
    QFile file(scorePath);
    file.open(QIODevice::ReadOnly);
    const Notation::Sheet sheet = Notation::read(QString::fromLatin1(file.readAll()));
    const QString before = residentLine("VmRSS:");
    QtUserDialogs dialogs;
    QTemporaryDir out;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestWait = std::max(longestWait, sinceTick.restart());
    });
    NotationExport::Result result;
    clock.start();
    sinceTick.start();
    tick.start(10);
    dialogs.runWithProgress(QStringLiteral("正在保存简谱"), [&](const ProgressReport &report) {
        NotationPicture picture;
        picture.setSheet(sheet, NotationPicture::Header());
        result = NotationExport::write(out.filePath(QStringLiteral("简谱.png")), picture, report);
    });
    tick.stop();
    std::printf("保存图片 (window, PNG)           %s  %6.2f s  %d pictures %.1f KiB  longest wait of the window %lld ms  "
                "memory %s before, peak %s  (load %.2f)\n",
                result.written ? "ok  " : "FAIL", clock.nsecsElapsed() / 1e9, int(result.files.size()),
                filesIn(out.path()).second / 1024.0, longestWait, qPrintable(before),
                qPrintable(residentLine("VmHWM:")), loadAverage());
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QString rests = dir.filePath(QStringLiteral("rests.txt"));
    const QString music = dir.filePath(QStringLiteral("music.txt"));
    const QString huge = dir.filePath(QStringLiteral("huge.txt"));
    for (const auto &[path, bytes] :
         {std::make_pair(rests, fitted("", "XZ99", 32766)),
          std::make_pair(music, fitted("YQ5VS9JP1", "HX1KC4KD4KE4KF4KG8XZ2WA6HB2MA12", 32766)),
          std::make_pair(huge, fitted("", "XZ99", 1024 * 1024))}) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    std::printf("%d rounds each; targets for the 32 766-character PNG: under %.0f s, under %.0f MiB\n", rounds,
                kTargetSeconds, kTargetMiB);
    window(rests);
    for (const char *suffix : {"png", "svg", "pdf"}) {
        commandLine(QStringLiteral("32 766 characters of rests"), rests, QString::fromLatin1(suffix), rounds,
                    qstrcmp(suffix, "png") == 0);
        commandLine(QStringLiteral("32 766 characters of music"), music, QString::fromLatin1(suffix), rounds, false);
        commandLine(QStringLiteral("1 MiB of rests"), huge, QString::fromLatin1(suffix), rounds, false);
    }
    return 0;
}
