#pragma once

#include "platform/audio/realtime/ThreadRoles.h"

#include <QtGlobal>

#include <atomic>

// Who may call into the synthesizer (everything but rendering, which
// FluidSynth keeps apart behind a lock-free queue). The audio thread only
// ever tries: when another thread is inside (playing a live message, loading
// a program's samples), the audio thread leaves its messages waiting for a
// later block and counts a miss; it never waits. Other threads wait their
// turn, which the audio thread gives back within microseconds.
//
// Every call into the synthesizer outside rendering goes through the gate,
// so FluidSynth's own lock is never held when the audio thread gets in.
class SynthGate {
public:
    // Audio thread: true when the gate was free; the caller is then inside.
    bool tryEnter()
    {
        DZQ_ONLY_AUDIO_THREAD();
        return !inside_.exchange(true, std::memory_order_acquire);
    }
    // Audio thread: messages were due but the gate was taken.
    void countMiss()
    {
        DZQ_ONLY_AUDIO_THREAD();
        misses_.fetch_add(1, std::memory_order_relaxed);
    }

    // Any other thread: waits until the gate is free (yield: a function that
    // lets the audio thread run, such as std::this_thread::yield).
    template <typename Yield>
    void enter(Yield yield)
    {
        DZQ_NEVER_AUDIO_THREAD();
        while (inside_.exchange(true, std::memory_order_acquire))
            yield();
    }
    void leave() { inside_.store(false, std::memory_order_release); }

    // Blocks in which due messages waited because the gate was taken.
    quint64 misses() const { return misses_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> inside_{false};
    std::atomic<quint64> misses_{0};
};
