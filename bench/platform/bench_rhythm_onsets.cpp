// A rhythm timer at 124 ms (an eighth at about 121 beats per minute) plays
// claves on the percussion channel for a minute; how evenly do they sound?
//
//   bench_rhythm_onsets [seconds] [sound font]

#include "OnsetBench.h"

#include "core/PlaybackTimer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 60.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();

    constexpr int kIntervalMs = 124;
    constexpr int kClaves = 75;
    PlaybackTimer timer(bench.clock(), QStringLiteral("BZDS"), kIntervalMs);
    timer.onTick = [&] { bench.port().NoteOn(9, kClaves, 100); };
    bench.watchLateness(timer);

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
    bench.printLateness(QStringLiteral("timer"));
    return OnsetBench::printVerdict(report) ? 0 : 1;
}
