// Editor playback as the user runs it: a freshly opened music editor, the
// tempo list set to "120" (a step every 125 ms), the first percussion row on
// "响鞭" with a hit on every step and the melody rows empty, played with
// "从开始处启动" through the built-in synthesizer. How evenly do the steps
// sound on their grid?
//
//   bench_editor_onsets [seconds] [sound font]

#include "OnsetBench.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "editor/EditorControllers.h"
#include "editor/model/EditorModel.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int kTempoPosition = 12;  // "120"
constexpr int kWhip = 40;           // drum list position 40: key 75, a sharp attack
constexpr int kDrumRow = 5;

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 60.0;
    OnsetBench bench(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    bench.printSetup();

    auto state = std::make_unique<SharedState>();
    QTemporaryDir folder;
    Session ctx{*state, bench.port(), bench.media(), bench.dialogs(), bench.clock(), folder.path()};
    auto model = std::make_unique<EditorModel>();
    EditorControllers editor(ctx, *model);
    editor.setWaveVolume = [&](quint32 value) { bench.engine().setWaveVolume(value); };
    editor.open();

    EditorControls &controls = editor.controls;
    controls.selectTempo(kTempoPosition);
    controls.selectInstrument(kDrumRow, kWhip);
    for (int r = 0; r < EditorModel::kMelodyRows; ++r)
        controls.selectInstrument(r, 0);  // "0.无声": only the drum sounds
    const int stepMs = model->StepInterval;
    const int steps = int(std::ceil(seconds * 1000.0 / stepMs)) + 16;
    model->MeasureTotal = qMin(steps / model->StepCount(), model->lastUsableMeasure());
    for (int a = 0; a < model->StepCount() * (model->MeasureTotal + 1); ++a)
        model->setStepCell(a, kDrumRow, QStringLiteral("O"));
    const double playable = double(model->StepCount() * (model->MeasureTotal + 1)) * stepMs / 1000.0;
    const double recorded = qMin(seconds, playable - 0.5);

    bench.watchLateness(editor.playback.YYDS());

    // The first note of a fresh synthesizer is a little softer than the ones
    // after it; sound one drum before measuring.
    bench.port().NoteOn(9, qint16(kWhip + 35), 70);
    bench.idle(0.8);
    const QVector<float> audio = bench.record(
        recorded, [&] { editor.playback.setST2(true); }, [&] { editor.playback.setST2(false); });

    const QVector<double> onsets = OnsetBench::detectOnsets(audio, bench.engine().sampleRate(), stepMs * 0.5);
    const OnsetBench::Report report = bench.analyse(onsets, stepMs);
    OnsetBench::print(QStringLiteral("editor playback, a drum on every step at 120 beats per minute "
                                     "(StepInterval %1 ms), timer YYDS, %2 s")
                          .arg(stepMs)
                          .arg(recorded),
                      report);
    std::printf("  steps expected in the run: about %d\n", int(std::floor(recorded * 1000.0 / stepMs)) + 1);
    bench.printLateness(QStringLiteral("YYDS"));
    editor.leave();
    return OnsetBench::printVerdict(report) ? 0 : 1;
}
