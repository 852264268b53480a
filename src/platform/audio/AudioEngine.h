#pragma once

#include "platform/audio/realtime/HeldNotes.h"
#include "platform/audio/realtime/MessageScheduler.h"
#include "platform/audio/realtime/OutputGain.h"
#include "platform/audio/realtime/OutputTap.h"
#include "platform/audio/realtime/PlaybackInput.h"
#include "platform/audio/realtime/SampleClock.h"
#include "platform/audio/realtime/SynthFade.h"
#include "platform/audio/realtime/SynthGate.h"
#include "platform/audio/realtime/ThreadRoles.h"
#include "platform/audio/ChannelMemory.h"
#include "platform/audio/FontCheck.h"
#include "platform/audio/ProgramCache.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/UnderrunPolicy.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class DeviceOutput;
class RealtimeKit;

// The built-in synthesizer and the program's audio output.
//
// start() loads the sound font on a worker thread while the user interface
// keeps running (FluidSynth holds its lock for the whole load), then opens the
// audio output (PulseOutput, else RtAudioOutput: ALSA; at the device's own
// sample rate), else a render thread that synthesizes in real time without a
// device, so the output tap (recording) still works. Messages sent before the
// engine is ready wait in order and are played the moment it is ready.
//
// The output starts with the smallest buffer (or Options::firstBufferFrames);
// after an underrun it moves to the next larger one, and after a clean
// stretch it tries the one below again, at a moment the output is silent (see
// UnderrunPolicy; outputChanged() each time). An audio thread the system
// refuses real-time priority is put to the desktop's rtkit, without waiting
// for the answer (outputChanged() when granted).
//
// The audio thread never waits for another thread, never frees and never
// reads the disk. Only it renders; everything else that enters the
// synthesizer (a live message, a program's samples being loaded) goes
// through a gate, which the audio thread only tries: when it is taken, the
// messages due wait for the next block (counted in gateMisses()). A
// program's samples are loaded by the sending thread before its program
// change is sent on, and stay in memory while it may still sound (see
// ProgramCache).
//
// Timing: a message stamped with a tick time (dueNs >= 0) sounds at that time
// plus lookAheadNs(), on the synthesizer's 64-frame block grid; a live
// message (dueNs < 0) is played at once, but never ahead of a timed message
// of its channel that is still waiting (see MessageScheduler).
//
// While nothing sounds and nothing waits, the synthesizer is not run at all
// (after the reverb has had time to die away), and a little later the device
// stream pauses until the next message: an idle program costs next to
// nothing.
//
// All public methods belong to the thread that made the engine (the owner),
// except the tap's consumer methods, which belong to one reader thread, and
// the playback input's push, which belongs to one feeder thread.
class AudioEngine : public QObject {
    Q_OBJECT
public:
    enum class Output {
        Auto,          // a sound card, else the render thread
        RenderThread,  // never a device (benchmarks)
        Manual,        // the caller renders with renderManual() (tests)
    };
    enum class State { Idle, Loading, Ready };

    struct Options {
        QString soundFont;  // empty: the first of SynthSetup::soundFontCandidates()
        // A soundFont the user chose that cannot be loaded: say so and load
        // the font found on the system instead (otherwise stay silent).
        bool fallBackToFound = false;
        Output output = Output::Auto;
        int sampleRate = SynthSetup::kSampleRate;
        int tapSeconds = 4;  // capacity of the output tap
        // The device buffer to start with (the machine needed it last
        // time); 0: the smallest.
        int firstBufferFrames = 0;
        // Runs before each read of the sound font, on the reading thread
        // (tests: a slow disk).
        std::function<void()> beforeFontRead;
    };

    explicit AudioEngine(QObject *parent = nullptr);
    explicit AudioEngine(const Options &options, QObject *parent = nullptr);
    ~AudioEngine() override;

    // Starts loading on a worker thread and returns at once. ready() follows.
    void start();
    // Blocks until loading has finished (tests, benchmarks, tools); true when ready.
    bool waitUntilReady(int timeoutMs = 60000);
    State state() const { return state_; }
    bool isReady() const { return state_ == State::Ready; }
    // Ready and a sound font is loaded: messages make sound.
    bool hasSoundFont() const { return isReady() && fontLoaded_; }
    QString soundFontPath() const { return fontPath_; }
    // "jack", "pulseaudio", "alsa", or empty when no device plays the output.
    QString deviceName() const { return deviceName_; }
    // Frames per device buffer (the render thread's period without a device).
    int bufferFrames() const;
    // A device plays the output and its buffer size is ours to choose (not
    // a JACK server's): the size is worth remembering for the next run.
    bool buffersAreOurs() const;
    // Frames between the synthesizer and the device (0 without a device).
    int latencyFrames() const;
    // How long after its tick a timed message sounds: the lateness of a
    // timer tick plus one buffer, within which the message must reach the
    // audio thread.
    qint64 lookAheadNs() const;
    // Seconds of sound output since the buffer got its present size (the
    // stream opened or grew); 0 without a device.
    double secondsAtThisBuffer() const;
    // One line for the user about the output: device, rate, buffer, latency.
    QString outputDescription() const;
    // Owner thread: resumes a device stream paused while nothing sounded
    // (before WAV playback starts; every message does it by itself).
    void wake();
    // Periods the synthesizer was not run because nothing sounded.
    quint64 idlePeriods() const { return idlePeriods_.load(std::memory_order_relaxed); }
    // Blocks whose due messages waited because another thread was inside
    // the synthesizer.
    quint64 gateMisses() const { return gate_.misses(); }
    // Programs whose samples are kept in memory.
    int programsInMemory() const { return programs_->pinnedPrograms(); }
    // Owner thread: lets go of the samples of programs no channel has chosen
    // lately, if nothing sounds (the engine does it by itself at a pause).
    void releaseUnusedPrograms();

    // Owner thread: puts another sound font in place of the one playing.
    // It loads on a worker thread into a synthesizer of its own, which is
    // given the instruments, volumes and other controllers every channel has
    // been sent, and then replaces the playing one between two periods: the
    // old one fades out within a few milliseconds while the notes still held
    // (keys down, the sustain pedal) are struck anew on the new one, and what
    // is waiting to be played goes on with the new font. A file that cannot
    // be loaded (see FontCheck) is refused with a notice and the old font
    // plays on. One font loads at a time: a font asked for while another
    // loads follows it, and only the last one asked for does.
    // Asked for before the engine is ready: loaded once it is.
    void switchSoundFont(const QString &path);
    // A font is loading (or waits for the one loading).
    bool isSwitching() const { return switch_.worker.joinable() || !nextFont_.isEmpty(); }
    // Owner thread: blocks until no font is loading (tests, tools); true
    // when done in time.
    bool waitForSwitch(int timeoutMs = 60000);

    // Plays one message; dueNs < 0: at once, else the steady time of the
    // tick that sent it.
    void send(const MidiMessage &message, qint64 dueNs);
    // Stops every sounding note, after what is waiting on each channel.
    void silenceAll();

    // Master volume: left in the low 16 bits, right in the high 16 bits,
    // 0xFFFF = full. Only the program's own output changes.
    void setWaveVolume(quint32 value);
    quint32 waveVolume() const { return waveVolume_; }

    // Output tap: while enabled, every rendered frame (after the volume) is
    // offered to a lock-free ring; frames that do not fit are counted as lost.
    // Owner thread; the reader thread may disable it (a failed write).
    void setTapEnabled(bool enabled);
    bool isTapEnabled() const { return tap_.isEnabled(); }
    // Reader thread: takes up to maxFrames interleaved stereo frames.
    int readTap(float *interleaved, int maxFrames) { return tap_.read(interleaved, maxFrames); }
    int tapFramesAvailable() const { return tap_.available(); }
    // Reader thread: drops what is waiting (before a new recording).
    void discardTap() { tap_.discard(); }
    quint64 tapLostFrames() const { return tap_.lostFrames(); }
    // Frames put into the tap so far (all that were offered but the lost ones).
    quint64 tapPushedFrames() const { return tap_.pushedFrames(); }
    // Owner thread, after setTapEnabled(false): waits until no callback can
    // still be putting frames into the tap (at most timeoutMs).
    void waitForTapQuiet(int timeoutMs = 50) const;

    // Playback input (WAV files): one feeder thread offers interleaved stereo
    // frames, which the callback mixes into the output before the volume.
    // Feeder thread: takes up to `frames`; returns how many fitted.
    int pushPlayback(const float *interleaved, int frames) { return play_.push(interleaved, frames); }
    int playbackRoom() const { return play_.room(); }
    // Owner thread, no feeder running: whatever waits is dropped by the
    // callback instead of being mixed.
    void discardPlayback() { play_.discard(); }
    // Frames offered so far, and frames the callback has taken (mixed or
    // dropped); both only grow.
    quint64 playbackPushed() const { return play_.pushed(); }
    quint64 playbackTaken() const { return play_.taken(); }

    // Output::Manual: renders one period on the calling thread, which is the
    // audio thread meanwhile; nowNs is the steady time of the period's first
    // frame. The buffers are overwritten.
    void renderManual(float *left, float *right, int frames, qint64 nowNs);

    // The rate of the output: the device's own where it has one (known once
    // ready), else the one asked for.
    int sampleRate() const { return rate_; }
    // Frames rendered so far.
    qint64 renderedFrames() const { return renderedFrames_.load(std::memory_order_relaxed); }
    // Messages of the sound libraries, oldest first.
    QStringList logMessages() const;
    // The synthesizer once ready (tests and benchmarks look inside, while
    // no callback runs).
    fluid_synth_t *synth() const { return isReady() ? synth_.load() : nullptr; }

signals:
    void ready();
    // Another sound font plays now (see switchSoundFont()); soundFontPath().
    void soundFontChanged();
    // A message for the user: a short one ending in "。。。" belongs in the
    // status line (no sound card, an error of the synthesizer); a longer one
    // that says what to do (a missing sound font) deserves a message box.
    void notice(const QString &text);
    // The output changed (a larger buffer after an underrun); see
    // outputDescription().
    void outputChanged();

private:
    struct PendingMessage {
        MidiMessage message;
        qint64 dueNs;
    };

    // The rates a JACK server may run at for the synthesizer to follow it.
    static constexpr int kLowestJackRate = 22050;
    static constexpr int kHighestJackRate = 192000;

    void load();             // worker thread
    // Worker thread: a font into the synthesizer (the caller says what failed).
    FontCheck::Verdict loadFont(const QString &path);
    void loadFoundFont();    // worker thread: the system's font, a notice when it fails
    void openOutput();       // worker thread
    // Worker thread at the start, owner thread later: the first device of
    // JACK, PulseAudio and RtAudio that opens; false when none does.
    bool openDevice();
    void startRenderThread();  // without a device: our own thread paces the synthesizer
    void replaceLostOutput();  // owner thread: the device's server went away
    void finishLoading();    // owner thread
    void play(const MidiMessage &message);  // owner thread
    void process(float *left, float *right, int frames, qint64 nowNs);  // audio thread
    void renderLoop();       // render thread
    void stopOutput();
    void checkOutput();      // owner thread
    void resizeBuffer();     // owner thread
    bool outputIsSilent() const;  // owner thread
    bool nothingWaits() const;    // owner thread
    void askRealtimeKit(quint64 threadId);  // owner thread
    bool nothingSounds();    // audio thread
    void startSwitch(const QString &path);  // owner thread
    void loadSwitch();       // switch worker thread
    void finishSwitch();     // owner thread
    void retireSynths();     // owner thread
    void strikeHeldNotes(fluid_synth_t *synth);  // owner thread, inside the gate

    const Options options_;
    ThreadRoles::Owner owner_;
    State state_ = State::Idle;
    QVector<PendingMessage> early_;   // sent before ready
    MessageScheduler scheduler_;
    SynthGate gate_;
    // The notes the playing synthesizer sounds; told inside the gate.
    HeldNotes held_;
    std::unique_ptr<ProgramCache> programs_;
    ChannelMemory channels_;  // the lasting state each channel has been sent
    int rate_;
    std::optional<SampleClock> clock_;  // made for the output's rate
    quint32 waveVolume_ = 0x60006000;
    OutputGain gain_;

    // Set by the worker before loadDone_, read after it.
    fluid_settings_t *settings_ = nullptr;
    // Changed by the owner thread inside the gate; the audio thread reads it
    // once per period, and again inside the gate.
    std::atomic<fluid_synth_t *> synth_{nullptr};
    std::unique_ptr<DeviceOutput> output_;
    QTimer outputWatch_;
    UnderrunPolicy underrunPolicy_;
    qint64 framesAtStep_ = 0;  // renderedFrames() when the buffer last changed
    RealtimeKit *realtimeKit_ = nullptr;  // made on first need
    std::atomic<bool> fontLoaded_{false};
    QString fontPath_;
    QString deviceName_;
    QStringList workerNotices_;

    std::thread worker_;
    std::mutex loadMutex_;
    std::condition_variable loadCv_;
    bool loadDone_ = false;

    // A sound font loading for switchSoundFont(): the worker fills in the
    // rest; the owner takes it after joining the worker.
    struct FontSwitch {
        std::thread worker;
        QString path;
        std::vector<MidiMessage> state;  // the channels' state when asked
        fluid_settings_t *settings = nullptr;
        fluid_synth_t *synth = nullptr;
        std::unique_ptr<ProgramCache> programs;
        bool loaded = false;
        FontCheck::Verdict verdict = FontCheck::Verdict::Broken;
    };
    FontSwitch switch_;
    QString nextFont_;  // asked for while another loads (or before ready)
    quint64 switchSerial_ = 0;  // owner thread: the switch loading now
    // Replaced synthesizers, deleted once the audio thread is done with them.
    struct Retired {
        fluid_synth_t *synth;
        fluid_settings_t *settings;
        quint64 periodsAt;  // periods_ when it was replaced
    };
    std::vector<Retired> retired_;
    QTimer retireTimer_;

    std::thread renderThread_;
    std::atomic<bool> rendering_{false};

    // Audio thread.
    qint64 frames_ = 0;
    qint64 quietFrames_ = 0;             // rendered in a row below the quiet level
    quint32 liveSeen_ = 0;
    std::atomic<quint32> liveSent_{0};   // live messages played by the owner thread
    std::atomic<bool> clockRestart_{false};
    std::atomic<quint64> idlePeriods_{0};
    std::atomic<qint64> idleFrames_{0};  // skipped in a row
    std::atomic<qint64> renderedFrames_{0};
    // Inside process(), and periods finished: a replaced synthesizer may go
    // once the audio thread is out of process() or has finished one more.
    std::atomic<bool> inProcess_{false};
    std::atomic<quint64> periods_{0};
    std::atomic<qint64> audibleUntil_{0};  // the end of the last period with sound in it
    SynthFade fade_;  // a replaced synthesizer fading out
    OutputTap tap_;
    // Playback input: pushed by the feeder, taken by the audio thread.
    PlaybackInput play_;
};
