#pragma once

#include "core/Clock.h"
#include "platform/audio/AudioEngine.h"
#include "platform/midi/SystemMidiBackend.h"
#include "midiport/MidiPort.h"

#include <QString>
#include <QTextStream>
#include <QVector>

#include <functional>
#include <memory>

class PlaybackTimer;
class Notifier;
class UserDialogs;
class MediaDevice;

// Timing of the live engine as heard: runs the built-in synthesizer on its
// real-time render thread (no device), records its output through the tap
// while driver code plays from PlaybackTimers on a SteadyClock in the event
// loop, finds the onsets in the recording and compares them with the ideal
// grid of the timer.
//
//   QCoreApplication app(argc, argv);
//   OnsetBench bench;
//   PlaybackTimer timer(bench.clock(), "BZDS", 124);
//   timer.onTick = [&] { bench.port().NoteOn(9, 75, 100); };
//   const QVector<float> audio = bench.record(60.0, [&] {
//       bench.port().NoteOn(9, 75, 100);   // inside the start's tick scope
//       timer.setEnabled(true);
//   }, [&] { timer.setEnabled(false); });
//   OnsetBench::print("claves every 124 ms", OnsetBench::analyse(OnsetBench::detectOnsets(audio, ...), ...));
class OnsetBench {
public:
    struct Report {
        int expected = 0;      // grid positions covered by the recording
        int found = 0;         // onsets matched to a grid position
        int missing = 0;
        int extra = 0;         // onsets off the grid (or twice on one position)
        double p50Ms = 0;      // |deviation| from the grid after removing the constant offset
        double p99Ms = 0;
        double maxMs = 0;
        double driftMs = 0;    // last onset against the first, minus the ideal distance
        double secondsRecorded = 0;
        quint64 lostFrames = 0;  // tap overruns
    };

    // soundFont: empty for the program's own choice.
    explicit OnsetBench(const QString &soundFont = QString());
    ~OnsetBench();

    AudioEngine &engine() { return *engine_; }
    SteadyClock &clock() { return clock_; }
    MidiPort &port() { return *port_; }
    UserDialogs &dialogs() { return *dialogs_; }
    MediaDevice &media() { return *media_; }

    // Runs the event loop for a while without recording (let a warm-up
    // note die away).
    void idle(double seconds);

    // Runs the event loop for `seconds` while recording the output (mono,
    // left channel). `start` runs once inside a tick scope whose time is the
    // grid's origin (originNs()); `stop` runs at the end.
    QVector<float> record(double seconds, const std::function<void()> &start, const std::function<void()> &stop);
    // Steady time of the first tick.
    qint64 originNs() const { return originNs_; }

    // Onsets (fractional frames) of one repeated short sound: threshold
    // crossings after a quiet gap, refined by matching the first onset's
    // waveform. relThreshold: fraction of the recording's peak.
    static QVector<double> detectOnsets(const QVector<float> &audio, int sampleRate, double minGapMs,
                                        float relThreshold = 0.25f);
    // Compares onsets with a grid of gridMs starting near the first onset.
    Report analyse(const QVector<double> &onsets, double gridMs) const;
    static void print(const QString &title, const Report &report);
    // Prints whether the timing targets (p99 jitter <= 1 ms, drift <= 2 ms,
    // every onset found) are met, and returns it.
    static bool printVerdict(const Report &report);

    // Prints the sound font, sample rate and look-ahead of the run.
    void printSetup();
    // Records how late each tick of the timer runs (its handler stays).
    void watchLateness(PlaybackTimer &timer);
    void printLateness(const QString &timerName) const;

private:
    QTextStream errors_;  // MIDI errors go to the terminal: nothing may wait for a click
    std::unique_ptr<Notifier> notifier_;
    std::unique_ptr<UserDialogs> dialogs_;
    std::unique_ptr<MediaDevice> media_;
    SteadyClock clock_;
    std::unique_ptr<AudioEngine> engine_;
    std::unique_ptr<SystemMidiBackend> backend_;
    std::unique_ptr<MidiPort> port_;
    qint64 originNs_ = 0;
    QVector<double> lateness_;  // how late each watched tick ran, ms
    double secondsRecorded_ = 0;
    quint64 lostFrames_ = 0;
};
