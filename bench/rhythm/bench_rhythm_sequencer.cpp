// The rhythm sequencer as the user runs it: a pattern with claves on every
// step of a 4/4 bar, 120 beats per minute (a step every 124 ms), started with
// the start control and played by its own timer BZDS for a minute through the
// built-in synthesizer. How evenly do the steps sound?
//
//   bench_rhythm_sequencer [seconds] [sound font]

#include "OnsetBench.h"

#include "headless/ConsoleNotifier.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "performance/MelodyVoices.h"
#include "platform/dialogs/UserDialogs.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"

#include <QTextStream>
#include <QCoreApplication>
#include <QTemporaryDir>


#include <cmath>
#include <cstdio>

namespace {

constexpr int kTempo = 120;
constexpr int kClavesPosition = 75 - 35;  // drum list position of key 75, the claves ("响鞭")
constexpr int kFourFour = 2;

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 60.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();

    SharedState state;
    WindowDisplay window;
    QTemporaryDir folder;
    Session ctx{state, bench.port(), bench.media(), bench.dialogs(), bench.clock(), folder.path()};
    state.EighthBeatMs = qint16(MelodyVoices::eighthBeatMsFor(kTempo));

    RhythmPattern pattern(ctx);
    RhythmSequencer sequencer(ctx, window, pattern);
    pattern.SelectTimeSignature(kFourFour);
    pattern.SetRhythmInstrument(0, kClavesPosition);
    for (int i = 0; i <= pattern.LastStep(); ++i)
        pattern.SetRhythmCell(0, i, true);

    const int stepMs = 2 * state.EighthBeatMs;
    bench.watchLateness(sequencer.BZDS());

    // The first voice of a fresh synthesizer is a little softer than the
    // ones after it; sound one step before measuring.
    bench.port().PlayRhythmStep(state.Steps, 0);
    bench.idle(0.5);
    const QVector<float> audio = bench.record(
        seconds, [&] { sequencer.setBzQd(true); }, [&] { sequencer.setBzQd(false); });

    const QVector<double> onsets = OnsetBench::detectOnsets(audio, bench.engine().sampleRate(), 60.0);
    const OnsetBench::Report report = bench.analyse(onsets, stepMs);
    OnsetBench::print(QStringLiteral("rhythm sequencer, claves on all 16 steps of 4/4 at %1 beats per minute "
                                     "(EighthBeatMs %2, a step every %3 ms), timer BZDS, %4 s")
                          .arg(kTempo)
                          .arg(state.EighthBeatMs)
                          .arg(stepMs)
                          .arg(seconds),
                      report);
    // Start plays step 0, the first tick plays it again: one onset per period
    // from the start on.
    const int expected = int(std::floor(seconds * 1000.0 / stepMs)) + 1;
    std::printf("  steps expected in the run: about %d\n", expected);
    bench.printLateness(QStringLiteral("BZDS"));
    return OnsetBench::printVerdict(report) ? 0 : 1;
}
