// Latency of a MIDI keyboard's note: from the moment a note-on arrives in
// the program's RtMidi callback (on the port's own thread) to the moment
// the built-in synthesizer's fluid_synth_noteon is called for it, on the
// owner thread, through the whole path of the program: the lock-free queue,
// the wake-up of the owner thread, the hardware keyboard's rules (main
// window, three voices, the score written after the sound) and the MIDI
// port. The render thread runs without a sound card.
//
// Two sources:
//   jack: a JACK server of the benchmark's own (dummy backend, started
//         here when jackd is installed) and a JACK client in this process
//         that plays a note every few cycles, read through RtMidi;
//   thread: a thread of ours calling the port's receiver as RtMidi does,
//         for machines without jackd.
// The load average is printed beside the figures: the machine may be shared.
//
//   bench_midi_in [notes] [sound font]

#include "FakeMidiInputPorts.h"
#include "ScriptedDialogs.h"
#include "chords/ChordAccompaniment.h"
#include "core/Clock.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "midiport/MidiPort.h"
#include "performance/HardwareKeyboard.h"
#include "performance/HardwareTargets.h"
#include "performance/KeyboardEngine.h"
#include "performance/KeyboardPartners.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "platform/audio/AudioEngine.h"
#include "platform/media/MediaDevice.h"
#include "platform/midi/MidiInputs.h"
#include "platform/midi/RtMidiInputs.h"
#include "platform/midi/SystemMidiBackend.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

// Every call of fluid_synth_noteon goes through here (linked with
// --wrap=fluid_synth_noteon): the moment it is called.
extern "C" int __real_fluid_synth_noteon(fluid_synth_t *synth, int channel, int key, int velocity);

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 firstNoteOnNs = -1;  // of the message being handled
qint64 lastNoteOnNs = -1;

}  // namespace

extern "C" int __wrap_fluid_synth_noteon(fluid_synth_t *synth, int channel, int key, int velocity)
{
    const qint64 t = nowNs();
    if (firstNoteOnNs < 0)
        firstNoteOnNs = t;
    lastNoteOnNs = t;
    return __real_fluid_synth_noteon(synth, channel, key, velocity);
}

namespace {

class NoMedia : public MediaDevice {
protected:
    int execute(const QString &, QString *) override { return 0; }
};

struct NoPartners : KeyboardPartners {
    void HXQD() override { }
    void TSYX() override { }
    void ZDJP() override { }
    void stopRhythm() override { }
    void clearScorePlaying() override { }
    void resetPlayCaption() override { }
    void SilenceScoreNotes() override { }
};

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

void report(const char *what, std::vector<double> us)
{
    if (us.empty()) {
        std::printf("  %-28s no notes\n", what);
        return;
    }
    std::sort(us.begin(), us.end());
    const auto at = [&](double p) { return us[std::min(us.size() - 1, size_t(p * double(us.size())))]; };
    std::printf("  %-28s median %7.1f us  p90 %7.1f us  p99 %7.1f us  max %8.1f us  (%zu notes)\n", what, at(0.5),
                at(0.9), at(0.99), us.back(), us.size());
}

// The program's path from the inputs to the synthesizer, on a real engine.
struct Program {
    AudioEngine engine;
    SystemMidiBackend backend{engine};
    ScriptedDialogs dialogs;
    SteadyClock clock;
    MidiPort port{backend, dialogs, clock};
    SharedState state;
    NoMedia media;
    QTemporaryDir folder;
    Session ctx{state, port, media, dialogs, clock, folder.path()};
    WindowDisplay display;
    MelodyVoices voices{ctx};
    ChordAccompaniment chords{ctx, display};
    OnScreenKeyboard keys{ctx, voices, chords};
    NoPartners partners;
    KeyboardEngine keyboard{ctx, display, voices, keys, partners};
    HardwareKeyboard hardware{ctx, display};
    MainWindowNotes notes{state, voices, keyboard, keys};
    std::vector<double> first, last;

    explicit Program(const AudioEngine::Options &options) : engine(options) { }

    bool start()
    {
        engine.start();
        if (!engine.waitUntilReady() || !engine.hasSoundFont())
            return false;
        port.OpenMidiDevice(0);
        keys.initialiseKeys();
        for (int i = 0; i < 3; ++i) {
            voices.selectInstrument(i, 15 + 37 * i);
            voices.selectVolume(i, 3);
        }
        voices.selectKey(0);
        hardware.setTarget(&notes);
        return true;
    }

    void listen(MidiInputs &inputs)
    {
        QObject::connect(&inputs, &MidiInputs::received, &hardware,
                         [this](int source, const MidiMessage &m, qint64 arrivalNs) {
                             firstNoteOnNs = lastNoteOnNs = -1;
                             hardware.receive(source, m);
                             if (m.isNoteOn() && firstNoteOnNs >= 0) {
                                 first.push_back(double(firstNoteOnNs - arrivalNs) / 1000.0);
                                 last.push_back(double(lastNoteOnNs - arrivalNs) / 1000.0);
                             }
                         });
    }
};

// ---- a JACK keyboard in this process -------------------------------------

struct JackKeyboard {
    jack_client_t *client = nullptr;
    jack_port_t *out = nullptr;
    std::atomic<int> notesLeft{0};
    int cycle = 0;
    bool on = false;
    int key = 48;

    static int process(jack_nframes_t frames, void *self)
    {
        auto *k = static_cast<JackKeyboard *>(self);
        void *buffer = jack_port_get_buffer(k->out, frames);
        jack_midi_clear_buffer(buffer);
        // A note-on or a note-off every third cycle (16 ms at 256 frames).
        if (jack_port_connected(k->out) == 0 || k->notesLeft.load() <= 0 || ++k->cycle % 3 != 0)
            return 0;
        unsigned char m[3] = {0x90, static_cast<unsigned char>(k->key), static_cast<unsigned char>(k->on ? 0 : 100)};
        jack_midi_event_write(buffer, 0, m, 3);
        if (k->on) {
            k->notesLeft.fetch_sub(1);
            k->key = 48 + (k->key - 47) % 36;
        }
        k->on = !k->on;
        return 0;
    }
    bool open(int notes)
    {
        client = jack_client_open("dzq-bench", JackNoStartServer, nullptr);
        if (!client)
            return false;
        out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        notesLeft = notes;
        jack_set_process_callback(client, &JackKeyboard::process, this);
        return out && jack_activate(client) == 0;
    }
    ~JackKeyboard()
    {
        if (client)
            jack_client_close(client);
    }
};

bool runJack(const AudioEngine::Options &options, int notes)
{
    const QByteArray server = "dzq-bench-" + QByteArray::number(QCoreApplication::applicationPid());
    qputenv("JACK_DEFAULT_SERVER", server);
    QProcess jackd;
    jackd.setProcessChannelMode(QProcess::MergedChannels);
    jackd.start(QStringLiteral("jackd"),
                {"--no-realtime", "-n", QString::fromLatin1(server), "-d", "dummy", "-r", "48000", "-p", "256"});
    if (!jackd.waitForStarted(5000)) {
        std::printf("jack: jackd is not installed, skipped\n");
        return false;
    }
    // JACK says so while its server comes up; the program's inputs, once
    // made, say nothing either.
    jack_set_error_function([](const char *) {});
    jack_set_info_function([](const char *) {});
    JackKeyboard keyboard;
    for (int i = 0; i < 100 && !keyboard.open(notes); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!keyboard.client) {
        std::printf("jack: the server did not come up, skipped\n");
        jackd.terminate();
        jackd.waitForFinished(3000);
        return false;
    }
    Program program(options);
    if (!program.start())
        return false;
    RtMidiInputs ports;
    MidiInputs inputs(ports);
    program.listen(inputs);
    inputs.setChoice(MidiInputChoice::named(QStringLiteral("dzq-bench")));
    const QString before = loadAverage();
    inputs.start();
    // Until every note was played, or long after it should have been.
    const qint64 deadline = nowNs() + (qint64(notes) * 40 + 10000) * 1000000;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (keyboard.notesLeft.load() <= 0 || nowNs() > deadline)
            QCoreApplication::quit();
    });
    done.start(200);
    QCoreApplication::exec();
    std::printf("jack: RtMidi's JACK callback to fluid_synth_noteon (load average %s before, %s after)\n",
                qPrintable(before), qPrintable(loadAverage()));
    report("first voice's note-on", program.first);
    report("third voice's note-on", program.last);
    inputs.setChoice(MidiInputChoice::none());
    jack_client_close(keyboard.client);
    keyboard.client = nullptr;
    jackd.terminate();
    jackd.waitForFinished(3000);
    return true;
}

void runThread(const AudioEngine::Options &options, int notes)
{
    Program program(options);
    if (!program.start()) {
        std::printf("thread: no sound font\n");
        return;
    }
    FakeMidiInputPorts ports;
    ports.add(QStringLiteral("bench:out"));
    MidiInputs inputs(ports);
    program.listen(inputs);
    inputs.start();
    const QString before = loadAverage();
    std::thread player([&ports, notes] {
        for (int i = 0; i < notes; ++i) {
            const unsigned char key = static_cast<unsigned char>(48 + i % 36);
            ports.deliver(QStringLiteral("bench:out"), {0x90, key, 100});
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            ports.deliver(QStringLiteral("bench:out"), {0x80, key, 0});
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        }
    });
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (int(program.first.size()) >= notes)
            QCoreApplication::quit();
    });
    done.start(100);
    QCoreApplication::exec();
    player.join();
    std::printf("thread: a port thread's delivery to fluid_synth_noteon (load average %s before, %s after)\n",
                qPrintable(before), qPrintable(loadAverage()));
    report("first voice's note-on", program.first);
    report("third voice's note-on", program.last);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int notes = argc > 1 ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 500;
    AudioEngine::Options options;
    options.output = AudioEngine::Output::RenderThread;
    if (argc > 2)
        options.soundFont = QString::fromLocal8Bit(argv[2]);
    std::printf("MIDI keyboard note to the synthesizer, %d notes, %d cores\n", notes,
                int(std::thread::hardware_concurrency()));
    runJack(options, notes);
    runThread(options, notes);
    return 0;
}
