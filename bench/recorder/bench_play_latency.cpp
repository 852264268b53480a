// "PLAY NN FROM 0" to the first sample of the file in the engine's output:
// the media device on the real-time render thread, a file that starts with
// sound, played again and again; the delay is counted in output frames from
// the command to the first audible frame. Once with a file at the engine's
// rate and once with one at 44.1 kHz (through the resampler).
//
//   bench_play_latency [runs (100)] [sound font]

#include "OnsetBench.h"

#include "platform/media/EngineMediaDevice.h"
#include "platform/media/WavWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

bool writeTone(const QString &path, int rate)
{
    QVector<float> data(2 * rate / 5);
    for (int i = 0; i < rate / 5; ++i)
        data[2 * i] = data[2 * i + 1] = 0.5f * float(std::sin(2 * M_PI * 1000.0 * (i + 0.25 * rate / 1000.0) / rate));
    WavWriter w;
    return w.open(path, rate, 2) && w.write(data.data(), rate / 5) && w.close();
}

double percentile(QVector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[qBound(0, int(std::ceil(p * v.size())) - 1, int(v.size()) - 1)];
}

struct Latency {
    double frames = -1;  // output frames from the command to the first sound, in ms
    double wall = -1;    // steady time from the command until that frame was read back
};

// One play; -1 when no sound came within a second.
Latency measure(AudioEngine &engine, EngineMediaDevice &device, const QString &path)
{
    QElapsedTimer clock;
    float buffer[2 * 1024];
    device.command(QStringLiteral("OPEN \"%1\" TYPE WaveAudio ALIAS NN").arg(path));
    device.command(QStringLiteral("seek NN to start"));
    QThread::msleep(30);
    while (engine.readTap(buffer, 1024) > 0) {
    }
    clock.start();
    device.command(QStringLiteral("PLAY NN FROM 0"));
    qint64 frames = 0;
    Latency latency;
    while (latency.frames < 0 && clock.elapsed() < 1000) {
        // Polled without sleeping, so the reading adds next to nothing.
        int n;
        while (latency.frames < 0 && (n = engine.readTap(buffer, 1024)) > 0) {
            for (int i = 0; i < n; ++i) {
                if (std::fabs(buffer[2 * i]) > 0.05f) {
                    latency.frames = 1000.0 * double(frames + i) / engine.sampleRate();
                    latency.wall = clock.nsecsElapsed() / 1e6;
                    break;
                }
            }
            frames += n;
        }
        QThread::yieldCurrentThread();
    }
    device.command(QStringLiteral("close NN"));
    return latency;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString(argv[1]).toInt() : 100;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();
    AudioEngine &engine = bench.engine();
    QTemporaryDir folder;
    EngineMediaDevice device(engine, folder.filePath(QStringLiteral("temp")));
    engine.setTapEnabled(true);

    bool ok = true;
    for (int rate : {engine.sampleRate(), 44100}) {
        const QString path = folder.filePath(QStringLiteral("tone-%1.wav").arg(rate));
        if (!writeTone(path, rate)) {
            std::printf("cannot write %s\n", qPrintable(path));
            return 1;
        }
        QVector<double> inFrames, wall;
        int silent = 0;
        for (int i = 0; i < runs; ++i) {
            const Latency l = measure(engine, device, path);
            if (l.frames < 0) {
                ++silent;
            } else {
                inFrames << l.frames;
                wall << l.wall;
            }
        }
        const double p50 = percentile(wall, 0.5), p99 = percentile(wall, 0.99);
        std::printf("file at %d Hz, %d plays (no sound: %d)\n", rate, runs, silent);
        std::printf("  command to the sound read back:   median %.2f ms, p99 %.2f ms, max %.2f ms\n", p50, p99,
                    percentile(wall, 1.0));
        std::printf("  output frames before the sound:   median %.2f ms, p99 %.2f ms (period %.2f ms)\n",
                    percentile(inFrames, 0.5), percentile(inFrames, 0.99), 128000.0 / engine.sampleRate());
        ok = ok && silent == 0 && p50 < 20 && p99 < 20;
    }
    engine.setTapEnabled(false);
    std::printf("verdict: %s (target: median and p99 < 20 ms from the command to the first sample in the output)\n",
                ok ? "met" : "NOT MET");
    return ok ? 0 : 1;
}
