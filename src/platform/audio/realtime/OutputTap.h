#pragma once

#include "platform/audio/realtime/SpscRing.h"
#include "platform/audio/realtime/StereoFrame.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <memory>

// A copy of the finished output (after the volume) for a recording: while
// enabled, the audio callback offers every frame it renders to a lock-free
// ring, which one reader thread empties; frames that do not fit are counted
// as lost.
//
// Threads: setEnabled() belongs to the owner; offer() to the audio thread;
// read() and discard() to the reader; the counters may be read anywhere.
class OutputTap {
public:
    explicit OutputTap(std::size_t capacityFrames);

    // Owner thread. Sequentially consistent with the engine's frame
    // counter, so that the owner can tell when the last callback that saw
    // the tap enabled has finished.
    void setEnabled(bool enabled)
    {
        DZQ_NEVER_AUDIO_THREAD();
        enabled_.store(enabled);
    }
    bool isEnabled() const { return enabled_.load(std::memory_order_relaxed); }

    // Audio thread: offers `frames` frames when enabled.
    void offer(const float *left, const float *right, int frames);

    // Reader thread: takes up to maxFrames interleaved stereo frames.
    int read(float *interleaved, int maxFrames);
    int available() const { return int(ring_.size()); }
    // Reader thread: drops what is waiting (before a new recording).
    void discard()
    {
        DZQ_NEVER_AUDIO_THREAD();
        ring_.clear();
    }
    quint64 lostFrames() const { return lost_.load(std::memory_order_relaxed); }
    // Frames put into the ring so far (all that were offered but the lost ones).
    quint64 pushedFrames() const { return pushed_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> enabled_{false};
    std::atomic<quint64> lost_{0};
    std::atomic<quint64> pushed_{0};
    SpscRing<StereoFrame> ring_;
    std::unique_ptr<StereoFrame[]> scratch_;  // audio thread
};
