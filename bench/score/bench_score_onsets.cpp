// The score player as the user runs it: the main window's controllers after
// start-up, the tempo list set to its last entry (120 beats per minute, an
// eighth every 62 ms), a xylophone on the first voice, and a score of equal
// notes KC4 KC KC ... played with the play button for a minute through the
// built-in synthesizer. How evenly do the notes sound on their 248 ms grid?
//
//   bench_score_onsets [seconds] [sound font]

#include "OnsetBench.h"

#include "headless/ConsoleNotifier.h"
#include "controllers/PerformanceControllers.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "platform/dialogs/UserDialogs.h"

#include <QTextStream>
#include <QCoreApplication>
#include <QTemporaryDir>


#include <cmath>
#include <cstdio>

namespace {

constexpr int kTempoPosition = 12;     // "120拍/分钟", the list's last entry
constexpr int kXylophone = 14;         // "14.木琴": a sharp attack
constexpr int kSilentInScores = 1;     // "1.明亮钢琴" is program 0: silent in automatic playing
constexpr int kEighthsPerNote = 4;

// KC4 and then KC with the same duration, enough notes for the run, and the end.
QString equalNotes(int notes)
{
    QString score = QStringLiteral("KC%1").arg(kEighthsPerNote);
    for (int i = 1; i < notes; ++i)
        score += QStringLiteral("KC");
    return score + QStringLiteral("TZ");
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 60.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();

    SharedState state;
    WindowDisplay window;
    QTemporaryDir folder;  // an empty record folder: no rhythm file at start-up
    Session ctx{state, bench.port(), bench.media(), bench.dialogs(), bench.clock(), folder.path()};
    PerformanceControllers c(ctx, window);
    c.initialise();

    // What the user selects before playing.
    c.voices.selectTempo(kTempoPosition);
    c.voices.selectInstrument(0, kXylophone);
    c.voices.selectInstrument(1, kSilentInScores);
    c.voices.selectInstrument(2, kSilentInScores);
    const int noteMs = kEighthsPerNote * state.EighthBeatMs;
    const int notes = int(std::ceil(seconds * 1000.0 / noteMs)) + 8;
    window.setText3(equalNotes(notes));

    bench.watchLateness(c.player.Timer3());

    // The first voice of a fresh synthesizer is a little softer than the
    // ones after it; sound one note before measuring.
    bench.port().NoteOn(0, qint16(state.KeyBase + 24), state.VoiceVelocity[0]);
    bench.idle(0.3);
    bench.port().NoteOff(0, qint16(state.KeyBase + 24));
    bench.idle(0.5);
    const QVector<float> audio = bench.record(
        seconds, [&] { c.player.playClicked(); },
        [&] {
            if (c.player.ScorePlaying())
                c.player.playClicked();  // the same button stops
        });

    const QVector<double> onsets = OnsetBench::detectOnsets(audio, bench.engine().sampleRate(), 60.0);
    const OnsetBench::Report report = bench.analyse(onsets, noteMs);
    OnsetBench::print(QStringLiteral("score player, xylophone KC%1 KC KC ... at 120 beats per minute "
                                     "(EighthBeatMs %2, a note every %3 ms), clock Timer3, %4 s")
                          .arg(kEighthsPerNote)
                          .arg(state.EighthBeatMs)
                          .arg(noteMs)
                          .arg(seconds),
                      report);
    std::printf("  notes expected in the run: about %d\n", int(std::floor(seconds * 1000.0 / noteMs)) + 1);
    bench.printLateness(QStringLiteral("Timer3"));
    return OnsetBench::printVerdict(report) ? 0 : 1;
}
