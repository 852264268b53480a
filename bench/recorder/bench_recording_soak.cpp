// A long take while the program is busy: the main window's recorder records
// while a score with a built-in rhythm plays through the engine's real-time
// render thread and the user-interface thread is kept busy (20 ms of work
// every 50 ms). Are frames dropped or repeated, does memory grow, how far
// does the writer thread fall behind?
//
//   bench_recording_soak [seconds (600)] [sound font]

#include "OnsetBench.h"

#include "controllers/PerformanceControllers.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "platform/media/EngineMediaDevice.h"
#include "platform/media/TakeRecorder.h"
#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sndfile.h>

#include <cstdio>

namespace {

// Resident memory of this process in kB.
long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A melody over built-in rhythm 1, repeated for longer than the run.
QString scoreFor(double seconds)
{
    const QString bar = QStringLiteral("KC4KE4KG4HC4KA4KG4KE4KD4");  // 32 eighths
    QString score = QStringLiteral("JP1");
    const int bars = int(seconds / 2.6) + 4;  // a bar lasts 32 x 83 ms at the start-up tempo
    for (int i = 0; i < bars; ++i)
        score += bar;
    return score + QStringLiteral("TZ");
}

void run(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 600.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();
    AudioEngine &engine = bench.engine();

    SharedState state;
    WindowDisplay window;
    QTemporaryDir folder;
    Session ctx{state, bench.port(), bench.media(), bench.dialogs(), bench.clock(), folder.path()};
    PerformanceControllers c(ctx, window);
    c.initialise();
    window.setText3(scoreFor(seconds));

    EngineMediaDevice device(engine, folder.filePath(QStringLiteral("temp")));
    WindowRecorderDisplay display(window);
    WaveRecorder recorder(WaveRecorder::FrontEnd::MainWindow, device, display, bench.dialogs(), bench.clock(),
                          folder.path());

    // The busy window.
    QTimer busy;
    busy.setInterval(50);
    QObject::connect(&busy, &QTimer::timeout, [] {
        QElapsedTimer t;
        t.start();
        volatile double x = 0;
        while (t.elapsed() < 20)
            x = x + 1.0;
    });
    busy.start();

    c.player.playClicked();
    run(1.0);
    const long rssStart = residentKb();
    long rssMax = rssStart;
    const quint64 lostBefore = engine.tapLostFrames();
    const qint64 renderedBefore = engine.renderedFrames();
    const quint64 tappedBefore = engine.tapPushedFrames();
    recorder.record();
    QTimer sampler;
    long rssSettled = -1;  // ten seconds into the take
    int samples = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const long rss = residentKb();
        rssMax = qMax(rssMax, rss);
        if (++samples == 10)
            rssSettled = rss;
    });
    sampler.start(1000);
    run(seconds);
    sampler.stop();
    device.command(QStringLiteral("stop NN"));
    const qint64 rendered = engine.renderedFrames() - renderedBefore;
    const qint64 tapped = qint64(engine.tapPushedFrames() - tappedBefore);
    const TakeRecorder *take = device.take();
    const qint64 written = take ? take->framesWritten() : 0;
    const int backlog = take ? take->maxBacklogFrames() : 0;
    const quint64 lost = engine.tapLostFrames() - lostBefore;
    rssMax = qMax(rssMax, residentKb());

    const QString path = folder.filePath(QStringLiteral("soak.wav"));
    QElapsedTimer saveTime;
    saveTime.start();
    const int saved = device.command(QStringLiteral("save NN \"%1\"").arg(path));
    const qint64 saveMs = saveTime.elapsed();
    device.command(QStringLiteral("close NN"));
    busy.stop();
    if (c.player.ScorePlaying())
        c.player.playClicked();

    SF_INFO info = {};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (f)
        sf_close(f);

    const double rate = engine.sampleRate();
    std::printf("recording for %.0f s with a score and rhythm playing, UI thread busy 20 ms in every 50 ms\n", seconds);
    std::printf("  frames rendered meanwhile        %lld (%.3f s; a few periods before RECORD and after STOP)\n",
                rendered, rendered / rate);
    std::printf("  frames put into the tap          %lld (%.3f s)\n", tapped, tapped / rate);
    std::printf("  frames in the take               %lld (saved file: %lld frames, %s)\n", written,
                static_cast<long long>(info.frames), saved == 0 ? "saved" : "SAVE FAILED");
    // Every frame the tap took must be in the take once: none dropped, none repeated.
    const qint64 difference = written - tapped;
    std::printf("  dropped in the tap               %llu frames\n", static_cast<unsigned long long>(lost));
    std::printf("  take minus tapped                %lld frames\n", difference);
    std::printf("  writer lag (largest backlog)     %d frames = %.1f ms\n", backlog, 1000.0 * backlog / rate);
    std::printf("  resident memory                  %ld kB at the start, %ld kB at most: growth %.2f MB\n", rssStart,
                rssMax, (rssMax - rssStart) / 1024.0);
    if (rssSettled > 0)
        std::printf("  after the first 10 s             %ld kB, growth since then %.2f MB\n", rssSettled,
                    (rssMax - rssSettled) / 1024.0);
    std::printf("  saving the take                  %lld ms (%.1f MB)\n", saveMs,
                double(info.frames) * 4 / (1024.0 * 1024.0));
    const bool ok = saved == 0 && lost == 0 && difference == 0 && info.frames == written
                    && (rssMax - rssStart) < 5 * 1024;
    std::printf("verdict: %s (targets: nothing dropped or repeated, memory growth < 5 MB)\n", ok ? "met" : "NOT MET");
    return ok ? 0 : 1;
}
