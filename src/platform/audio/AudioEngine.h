#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/SynthHost.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/drivers/OutputControl.h"
#include "platform/audio/realtime/AudioProcessor.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The built-in synthesizer and the program's audio output, one object for
// its callers over three parts, one per thread: SynthHost (the owner: the
// synthesizer, its fonts, message routing), AudioProcessor (the audio
// thread: all that is done once a period) and OutputControl (the device, or
// the render thread without one, that runs the processor).
//
// start() loads the sound font on a worker thread while the user interface
// keeps running, then opens the output at the device's own sample rate.
// Messages sent before the engine is ready are played the moment it is.
//
// Timing: a message stamped with a tick time (dueNs >= 0) sounds at that time
// plus lookAheadNs(), on the synthesizer's 64-frame block grid; a live
// message (dueNs < 0) is played at once, but never ahead of a timed message
// of its channel that is still waiting (see MessageScheduler).
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
    bool hasSoundFont() const { return isReady() && host_.fontLoaded(); }
    QString soundFontPath() const { return host_.fontPath(); }
    // "jack", "pulseaudio", "alsa", or empty when no device plays the output.
    QString deviceName() const { return output_.deviceName(); }
    // Frames per device buffer (the render thread's period without a device).
    int bufferFrames() const { return output_.bufferFrames(); }
    // A device plays the output and its buffer size is ours to choose (not
    // a JACK server's): the size is worth remembering for the next run.
    bool buffersAreOurs() const { return output_.buffersAreOurs(); }
    // Frames between the synthesizer and the device (0 without a device).
    int latencyFrames() const { return output_.latencyFrames(); }
    // How long after its tick a timed message sounds: the lateness of a
    // timer tick plus one buffer, to reach the audio thread.
    qint64 lookAheadNs() const;
    // Seconds of output since the buffer got its size; 0 without a device.
    double secondsAtThisBuffer() const { return output_.secondsAtThisBuffer(); }
    // One line for the user about the output: device, rate, buffer, latency.
    QString outputDescription() const;
    // Owner thread: resumes a device stream paused while nothing sounded
    // (before WAV playback starts; every message does it by itself).
    void wake() { output_.wake(); }
    // Periods the synthesizer was not run because nothing sounded.
    quint64 idlePeriods() const { return processor_.idlePeriods(); }
    // Blocks whose due messages waited because another thread was inside
    // the synthesizer.
    quint64 gateMisses() const { return processor_.gateMisses(); }
    // Programs whose samples are kept in memory.
    int programsInMemory() const { return host_.programsInMemory(); }
    // Owner thread: lets go of the samples of programs no channel has chosen
    // lately, if nothing sounds (the engine does it by itself at a pause).
    void releaseUnusedPrograms()
    {
        if (isReady())
            host_.releaseUnusedPrograms();
    }

    // Owner thread: puts another sound font in place of the one playing,
    // between two periods, the instruments chosen and the notes held kept
    // (see SynthHost); a file that cannot be loaded is refused with a notice
    // and the old font plays on. Asked for before ready: loaded once it is.
    void switchSoundFont(const QString &path) { host_.switchSoundFont(path); }
    // A font is loading (or waits for the one loading).
    bool isSwitching() const { return host_.isSwitching(); }
    // Owner thread: blocks until no font is loading (tests, tools); true
    // when done in time.
    bool waitForSwitch(int timeoutMs = 60000);

    // Plays one message; dueNs < 0: at once, else the steady time of the
    // tick that sent it.
    void send(const MidiMessage &message, qint64 dueNs);
    // Stops every sounding note, after what waits on each channel.
    void silenceAll();

    // Master volume: left in the low 16 bits, right in the high 16 bits,
    // 0xFFFF = full. Only the program's own output changes.
    void setWaveVolume(quint32 value);
    quint32 waveVolume() const { return waveVolume_; }

    // Output tap (see OutputTap). Owner thread; the reader thread may
    // disable it (a failed write).
    void setTapEnabled(bool enabled);
    bool isTapEnabled() const { return processor_.tap().isEnabled(); }
    // Reader thread: takes up to maxFrames interleaved stereo frames.
    int readTap(float *interleaved, int maxFrames) { return processor_.tap().read(interleaved, maxFrames); }
    int tapFramesAvailable() const { return processor_.tap().available(); }
    // Reader thread: drops what is waiting (before a new recording).
    void discardTap() { processor_.tap().discard(); }
    quint64 tapLostFrames() const { return processor_.tap().lostFrames(); }
    // Frames put into the tap so far (all that were offered but the lost ones).
    quint64 tapPushedFrames() const { return processor_.tap().pushedFrames(); }
    // Owner thread, after setTapEnabled(false): waits until no callback can
    // still be putting frames into the tap (at most timeoutMs).
    void waitForTapQuiet(int timeoutMs = 50) const { if (isReady()) output_.waitForPeriod(timeoutMs); }

    // Playback input (WAV files), see PlaybackInput. Feeder thread: offers
    // interleaved stereo frames; returns how many fitted.
    int pushPlayback(const float *interleaved, int frames) { return processor_.playback().push(interleaved, frames); }
    int playbackRoom() const { return processor_.playback().room(); }
    // Owner thread, no feeder running: whatever waits is dropped.
    void discardPlayback() { processor_.playback().discard(); }
    // Frames offered so far, and taken by the callback (mixed or dropped).
    quint64 playbackPushed() const { return processor_.playback().pushed(); }
    quint64 playbackTaken() const { return processor_.playback().taken(); }

    // Output::Manual: renders one period on the calling thread, which is the
    // audio thread meanwhile; nowNs is the steady time of the period's first
    // frame. The buffers are overwritten.
    void renderManual(float *left, float *right, int frames, qint64 nowNs);

    // The rate of the output: the device's own where it has one (known once
    // ready), else the one asked for.
    int sampleRate() const { return processor_.sampleRate(); }
    // Frames rendered so far.
    qint64 renderedFrames() const { return processor_.renderedFrames(); }
    // Messages of the sound libraries, oldest first.
    QStringList logMessages() const;
    // The synthesizer once ready (tests and benchmarks look inside, while
    // no callback runs).
    fluid_synth_t *synth() const { return isReady() ? processor_.synth() : nullptr; }

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
    void load();           // worker thread
    Q_INVOKABLE void finishLoading();  // owner thread

    const Options options_;
    ThreadRoles::Owner owner_;
    State state_ = State::Idle;
    quint32 waveVolume_ = 0x60006000;
    AudioProcessor processor_;
    SynthHost host_;
    OutputControl output_;
    QStringList workerNotices_;

    std::thread worker_;
    std::mutex loadMutex_;
    std::condition_variable loadCv_;
    bool loadDone_ = false;
};
