// A rhythm timer at 124 ms (an eighth at about 121 beats per minute) plays
// claves on the percussion channel for a minute; how evenly do they sound?
//
//   bench_rhythm_onsets [seconds] [sound font]

#include "OnsetBench.h"

#include "core/PlaybackTimer.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 60.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    std::printf("sound font %s, sample rate %d, look-ahead %lld ms\n", qPrintable(bench.engine().soundFontPath()),
                bench.engine().sampleRate(), static_cast<long long>(SynthSetup::kLookAheadNs / 1000000));

    constexpr int kIntervalMs = 124;
    constexpr int kClaves = 75;
    PlaybackTimer timer(bench.clock(), QStringLiteral("BZDS"), kIntervalMs);
    QVector<double> lateness;  // how late each tick ran, ms
    lateness.reserve(int(seconds * 1000 / kIntervalMs) + 10);
    timer.onTick = [&] {
        lateness << double(bench.clock().nowNs() - bench.clock().tickTimeNs()) / 1e6;
        bench.port().NoteOn(9, kClaves, 100);
    };

    // The very first voice of a fresh synthesizer starts a little softer than
    // the ones after it; play one before measuring.
    bench.port().NoteOn(9, kClaves, 100);
    bench.idle(0.5);
    const QVector<float> audio = bench.record(
        seconds,
        [&] {
            bench.port().NoteOn(9, kClaves, 100);
            timer.setEnabled(true);
        },
        [&] { timer.setEnabled(false); });

    const QVector<double> onsets = OnsetBench::detectOnsets(audio, bench.engine().sampleRate(), 60.0);
    const OnsetBench::Report report = bench.analyse(onsets, kIntervalMs);
    OnsetBench::print(QStringLiteral("claves (key %1, channel 10) every %2 ms for %3 s, render thread")
                          .arg(kClaves)
                          .arg(kIntervalMs)
                          .arg(seconds),
                      report);
    std::sort(lateness.begin(), lateness.end());
    if (!lateness.isEmpty())
        std::printf("  timer ticks ran late by: median %.3f ms, max %.3f ms (the look-ahead absorbs this)\n",
                    lateness[lateness.size() / 2], lateness.last());
    std::printf("  targets: p99 jitter <= 1 ms, total drift <= 2 ms: %s\n",
                report.p99Ms <= 1.0 && std::abs(report.driftMs) <= 2.0 && report.missing == 0 ? "met" : "NOT met");
    return 0;
}
