// Latency of a note key: from the key event reaching the keyboard button to
// the return of the last note-on sent, with a 30 000-character score that
// the score box shows. Prints median and 99th percentile without a score
// box and with the program's score box.
//
// Run: QT_QPA_PLATFORM=offscreen ./bench_performance [presses]

#include "RecordingMidiBackend.h"
#include "TestContext.h"
#include "chords/ChordAccompaniment.h"

#include "performance/KeyboardButton.h"
#include "performance/KeyboardEngine.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "performance/PianoKeys.h"
#include "score/ScoreBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Remembers when the last message was handed over.
class TimingBackend : public RecordingMidiBackend {
public:
    QElapsedTimer *clock = nullptr;
    qint64 lastSendNs = 0;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override
    {
        const int result = RecordingMidiBackend::shortMsg(handle, message, dueNs);
        lastSendNs = clock->nsecsElapsed();
        if (sent.size() > 4096)
            sent.clear();
        return result;
    }
};

enum class Box { None, ScoreBox };

void run(Box kind, const char *name, int presses)
{
    TestContext t;
    TimingBackend backend;
    QElapsedTimer clock;
    clock.start();
    backend.clock = &clock;
    MidiPort port(backend, t.dialogs, t.clock);
    port.OpenMidiDevice(0);
    Session ctx{t.state, port, t.media, t.dialogs, t.clock, t.folder.path()};
    MelodyVoices voices(ctx);
    ChordAccompaniment chords(ctx, t.window);
    OnScreenKeyboard keys(ctx, voices, chords);
    HookPartners partners;
    partners.onSilenceScoreNotes = [&] { chords.SilenceScoreNotes(); };
    KeyboardEngine engine(ctx, t.window, voices, keys, partners);
    keys.initialiseKeys();
    for (int i = 0; i < 3; ++i) {
        voices.selectInstrument(i, 15 + i);
        voices.selectVolume(i, 3);
    }

    QWidget host;
    host.resize(988, 337);
    KeyboardButton button(engine, &host);
    PianoKeys piano(keys, &host);
    if (kind == Box::ScoreBox)
        new ::ScoreBox(t.window, &host);
    host.show();
    engine.focusGained();

    // A long score to begin with.
    QString score;
    while (score.size() < 30000)
        score += QStringLiteral("KC4KD4KE4KF4KG8XZ2");
    t.state.ScoreText = score;
    t.window.setText3(score);
    QApplication::processEvents();

    const Qt::Key keysToPlay[] = {Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F, Qt::Key_G, Qt::Key_H};
    std::vector<double> micros;
    micros.reserve(size_t(presses));
    for (int i = 0; i < presses; ++i) {
        const Qt::Key key = keysToPlay[i % 6];
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString());
        const qint64 start = clock.nsecsElapsed();
        QApplication::sendEvent(&button, &press);
        micros.push_back(double(backend.lastSendNs - start) / 1000.0);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString());
        QApplication::sendEvent(&button, &release);
        if (i % 16 == 0)
            QApplication::processEvents();  // let the views paint now and then
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    std::printf("%-34s presses %5d  median %8.1f us  p99 %8.1f us  (score %lld chars)\n", name,
                presses, median, p99, static_cast<long long>(t.state.ScoreText.size()));
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
    const int boxPresses = presses;
    run(Box::None, "no score box", presses);
    run(Box::ScoreBox, "with the score box", boxPresses);
    return 0;
}
