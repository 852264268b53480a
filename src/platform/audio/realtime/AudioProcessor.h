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

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>

typedef struct _fluid_synth_t fluid_synth_t;

// Everything the output does once a period, on the audio thread: the due
// messages through the gate into the synthesizer, rendering on its block
// grid, the fade from a replaced synthesizer, the playback input, the volume
// and the tap. Nothing here waits, allocates or frees; the owner thread and
// the outputs reach it only through atomics and the lock-free parts below.
//
// While nothing sounds and nothing waits, whole blocks are skipped (after
// the reverb has had time to die away): an idle program costs next to
// nothing, and the owner may pause the stream (idleFrames()).
class AudioProcessor {
public:
    // Frames render() and renderInterleaved() take at a time; larger calls
    // are split.
    static constexpr int kMaxFrames = 2048;

    AudioProcessor(std::size_t tapFrames, std::size_t playbackFrames, float gainLeft, float gainRight);
    AudioProcessor(const AudioProcessor &) = delete;
    AudioProcessor &operator=(const AudioProcessor &) = delete;

    // Before the first period (the loading thread): the output's rate and
    // its usual period.
    void prepare(int sampleRate, int periodFrames);
    int sampleRate() const { return rate_; }

    // The parts the other threads share with the periods.
    MessageScheduler &scheduler() { return scheduler_; }
    const MessageScheduler &scheduler() const { return scheduler_; }
    SynthGate &gate() { return gate_; }
    quint64 gateMisses() const { return gate_.misses(); }
    HeldNotes &held() { return held_; }  // told inside the gate
    OutputGain &gain() { return gain_; }
    OutputTap &tap() { return tap_; }
    const OutputTap &tap() const { return tap_; }
    PlaybackInput &playback() { return play_; }
    const PlaybackInput &playback() const { return play_; }

    // The synthesizer the periods render. Owner thread, inside the gate:
    // puts another in its place and returns the one replaced (see mayDelete()).
    fluid_synth_t *synth() const { return synth_.load(); }
    fluid_synth_t *replaceSynth(fluid_synth_t *synth) { return synth_.exchange(synth); }
    // Without a sound font due messages are dropped.
    bool fontLoaded() const { return fontLoaded_.load(); }
    void setFontLoaded(bool loaded) { fontLoaded_.store(loaded); }

    // Owner thread: a message went into the synthesizer directly, or it was
    // replaced; the periods run it from the next one on.
    void noteLiveMessage() { liveSent_.fetch_add(1, std::memory_order_release); }
    // Any thread: the next period starts the sample clock anew (a new
    // stream, another buffer, a stream resumed).
    void restartClock() { clockRestart_.store(true); }
    // Owner thread, resuming a paused stream: not idle again before a
    // period has seen what woke it.
    void resetIdle() { idleFrames_.store(0); }
    // Owner thread: no message is on its way to the synthesizer.
    bool nothingWaits() const;
    // Owner thread: whether a synthesizer replaced when periods() was
    // `periodsAt` can be deleted: the period that took it has ended and its
    // fade is over.
    bool mayDelete(const fluid_synth_t *synth, quint64 periodsAt) const;

    // Periods finished; periods the synthesizer was skipped in; frames
    // skipped in a row; frames rendered; the end of the last period with
    // sound in it.
    quint64 periods() const { return periods_.load(); }
    quint64 idlePeriods() const { return idlePeriods_.load(std::memory_order_relaxed); }
    qint64 idleFrames() const { return idleFrames_.load(std::memory_order_relaxed); }
    qint64 renderedFrames() const { return renderedFrames_.load(); }
    qint64 audibleUntil() const { return audibleUntil_.load(std::memory_order_relaxed); }

    // Audio thread: one period of `frames` frames (the buffers are
    // overwritten); nowNs is the steady time of its first frame.
    void render(float *left, float *right, int frames, qint64 nowNs);
    // Audio thread: the same into interleaved stereo frames.
    void renderInterleaved(float *out, int frames, qint64 nowNs);

private:
    void process(float *left, float *right, int frames, qint64 nowNs);
    void applyDue(qint64 boundary, bool font);
    bool nothingSounds();

    MessageScheduler scheduler_;
    SynthGate gate_;
    HeldNotes held_;
    OutputGain gain_;
    OutputTap tap_;
    PlaybackInput play_;
    SynthFade fade_;
    int rate_ = 0;
    std::optional<SampleClock> clock_;  // made for the output's rate

    std::atomic<fluid_synth_t *> synth_{nullptr};
    std::atomic<bool> fontLoaded_{false};
    std::atomic<quint32> liveSent_{0};
    std::atomic<bool> clockRestart_{false};
    std::atomic<quint64> idlePeriods_{0};
    std::atomic<qint64> idleFrames_{0};
    std::atomic<qint64> renderedFrames_{0};
    // Inside a period, and periods finished: see mayDelete().
    std::atomic<bool> inProcess_{false};
    std::atomic<quint64> periods_{0};
    std::atomic<qint64> audibleUntil_{0};

    // Audio thread.
    qint64 frames_ = 0;
    qint64 quietFrames_ = 0;  // rendered in a row below the quiet level
    quint32 liveSeen_ = 0;
    std::unique_ptr<float[]> left_, right_;  // for renderInterleaved()
};
