#pragma once

#include "platform/audio/realtime/SpscRing.h"
#include "platform/audio/realtime/StereoFrame.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <memory>

// Sound from outside the synthesizer (WAV playback) on its way into the
// output: one feeder thread offers interleaved stereo frames, the audio
// callback adds them to what it renders.
//
// Threads: push() belongs to the feeder; mixInto() to the audio thread;
// discard() to the owner, while no feeder runs; the counters may be read
// anywhere.
class PlaybackInput {
public:
    explicit PlaybackInput(std::size_t capacityFrames);

    // Feeder thread: takes up to `frames` frames; returns how many fitted.
    int push(const float *interleaved, int frames);
    int room() const { return int(ring_.capacity() - ring_.size()); }
    // Owner thread: whatever waits is dropped by the audio thread instead of
    // being mixed.
    void discard()
    {
        DZQ_NEVER_AUDIO_THREAD();
        discardTo_.store(pushed_.load());
    }
    // Frames offered so far, and frames the audio thread has taken (mixed or
    // dropped); both only grow.
    quint64 pushed() const { return pushed_.load(); }
    quint64 taken() const { return taken_.load(); }

    // Audio thread: adds what is waiting (up to `frames`) into the buffers.
    void mixInto(float *left, float *right, int frames);

private:
    SpscRing<StereoFrame> ring_;
    std::atomic<quint64> pushed_{0};
    std::atomic<quint64> taken_{0};
    std::atomic<quint64> discardTo_{0};
    std::unique_ptr<StereoFrame[]> scratch_;  // audio thread
};
