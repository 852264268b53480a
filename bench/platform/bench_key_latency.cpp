// How long a key's note takes from the MIDI port to the synthesizer:
// MidiPort::NoteOn through SystemMidiBackend and the engine until
// fluid_synth_noteon has returned, with the render thread running.
//
//   bench_key_latency [notes] [sound font]

#include "headless/ConsoleNotifier.h"
#include "core/Clock.h"
#include "platform/audio/AudioEngine.h"
#include "platform/midi/SystemMidiBackend.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"

#include <QTextStream>
#include <QCoreApplication>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

void report(const char *what, QVector<double> us)
{
    std::sort(us.begin(), us.end());
    const auto at = [&](double p) { return us[qBound(0, int(p * us.size()), int(us.size()) - 1)]; };
    std::printf("  %-9s median %.2f us, p99 %.2f us, max %.2f us (%d notes)\n", what, at(0.5), at(0.99), us.last(),
                int(us.size()));
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int notes = argc > 1 ? QString(argv[1]).toInt() : 5000;
    AudioEngine::Options options;
    options.output = AudioEngine::Output::RenderThread;
    if (argc > 2)
        options.soundFont = QString::fromLocal8Bit(argv[2]);
    AudioEngine engine(options);
    SystemMidiBackend backend(engine);
    QTextStream errors(stderr);
    ConsoleNotifier dialogs(errors);
    SteadyClock clock;
    MidiPort port(backend, dialogs, clock);
    engine.start();
    if (!engine.waitUntilReady() || !engine.hasSoundFont()) {
        std::fprintf(stderr, "no sound font\n");
        return 1;
    }
    port.OpenMidiDevice(0);
    port.ProgramChange(0, 0, 0);
    std::printf("key note to synthesizer, %s, render thread running\n", qPrintable(engine.soundFontPath()));

    using Clock = std::chrono::steady_clock;
    QVector<double> on, off;
    on.reserve(notes);
    off.reserve(notes);
    for (int i = 0; i < notes + 100; ++i) {
        const qint16 note = qint16(48 + i % 24);
        const auto t0 = Clock::now();
        port.NoteOn(0, note, 100);
        const auto t1 = Clock::now();
        // A key is held a little while; the audio thread renders meanwhile.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        const auto t2 = Clock::now();
        port.NoteOff(0, note);
        const auto t3 = Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (i >= 100) {  // the first notes warm the caches
            on << std::chrono::duration<double, std::micro>(t1 - t0).count();
            off << std::chrono::duration<double, std::micro>(t3 - t2).count();
        }
    }
    report("note-on", on);
    report("note-off", off);
    std::sort(on.begin(), on.end());
    std::printf("  target: median note-on < 50 us: %s\n", on[on.size() / 2] < 50.0 ? "met" : "NOT met");
    return 0;
}
