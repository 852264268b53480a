// From a key press in the practice window (跟弹练习) to the piano painted
// with the judgement shown (the key flashing green or red, the next key
// marked), on the real clock, with a long score in the sheet. Also
// from the key press to the note-on handed to the MIDI output (the sound
// starts there), and from that note-on to the mark: the goal is one frame
// at 60 Hz (16.7 ms). Prints median and 95th percentile; right and wrong
// notes alternate. The score has 400 notes unless told.
//
// Run: QT_QPA_PLATFORM=offscreen ./bench_practice [presses [notes]]
// (or on an X server with QT_QPA_PLATFORM=xcb, to include drawing on it)

#include "RecordingMidiBackend.h"
#include "TestContext.h"

#include "controllers/PerformanceControllers.h"
#include "core/Clock.h"
#include "practice/PracticePiano.h"
#include "practice/PracticeSession.h"
#include "practice/PracticeWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Remembers when the first note-on of a press was handed over.
class TimingBackend : public RecordingMidiBackend {
public:
    QElapsedTimer *clock = nullptr;
    qint64 firstNoteOnNs = -1;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override
    {
        const int result = RecordingMidiBackend::shortMsg(handle, message, dueNs);
        if (firstNoteOnNs < 0 && message.isNoteOn())
            firstNoteOnNs = clock->nsecsElapsed();
        if (sent.size() > 4096)
            sent.clear();
        return result;
    }
};

struct Figures {
    std::vector<double> values;
    void add(double ms) { values.push_back(ms); }
    void print(const char *what)
    {
        std::sort(values.begin(), values.end());
        const double median = values[values.size() / 2];
        const double p95 = values[std::min(values.size() - 1, values.size() * 95 / 100)];
        std::printf("%-30s median %7.3f ms  p95 %7.3f ms  (%zu presses)\n", what, median, p95, values.size());
    }
};

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(50, std::atoi(argv[1])) : 600;
    const int notes = argc > 2 ? qBound(6, std::atoi(argv[2]), 10000) : 400;

    TestContext t;
    SteadyClock steady;
    TimingBackend backend;
    QElapsedTimer clock;
    clock.start();
    backend.clock = &clock;
    MidiPort port(backend, t.dialogs, steady);
    Session ctx{t.state, port, t.media, t.dialogs, steady, t.folder.path()};
    PerformanceControllers performance(ctx, t.window);
    performance.initialise();
    port.OpenMidiDevice(0);

    // do re mi fa sol la, a beat each.
    QString score;
    while (score.size() < notes * 3)
        score += QStringLiteral("KC8KD8KE8KF8KG8KA8");
    score += QStringLiteral("TZ");
    t.window.setText3(score);
    PracticeWindow window(ctx, t.window, performance.voices, performance.pattern);
    window.session().setLooping(true);
    window.show();
    QApplication::setActiveWindow(&window);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();

    bool painted = false;
    QObject::connect(window.piano(), &PracticePiano::painted, [&] { painted = true; });
    static const Qt::Key kRight[] = {Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F, Qt::Key_G, Qt::Key_H};
    Figures toSound, toMark, soundToMark;
    int next = 0;
    for (int i = 0; i < presses; ++i) {
        // Every other press a wrong key (J): it flashes red, the score waits.
        const Qt::Key key = i % 2 ? Qt::Key_J : kRight[next % 6];
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString());
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString());
        painted = false;
        backend.firstNoteOnNs = -1;
        const qint64 start = clock.nsecsElapsed();
        QApplication::sendEvent(target, &press);
        while (!painted && clock.nsecsElapsed() - start < 500LL * 1000 * 1000)
            QApplication::processEvents(QEventLoop::AllEvents);
        const qint64 marked = clock.nsecsElapsed();
        QApplication::sendEvent(target, &release);
        if (i % 2 == 0)
            ++next;
        if (backend.firstNoteOnNs < 0 || !painted)
            continue;
        toSound.add(double(backend.firstNoteOnNs - start) / 1e6);
        toMark.add(double(marked - start) / 1e6);
        soundToMark.add(double(marked - backend.firstNoteOnNs) / 1e6);
        // The flash ends and the piano settles between presses, as a learner's pace allows.
        const qint64 until = clock.nsecsElapsed() + 20LL * 1000 * 1000;
        while (clock.nsecsElapsed() < until)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::printf("platform %s, score of %lld characters\n", qPrintable(QGuiApplication::platformName()),
                static_cast<long long>(score.size()));
    toSound.print("key press -> note-on");
    soundToMark.print("note-on -> mark painted");
    toMark.print("key press -> mark painted");
    return 0;
}
