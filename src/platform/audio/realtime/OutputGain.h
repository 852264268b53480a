#pragma once

#include "platform/audio/realtime/ThreadRoles.h"

#include <atomic>

// The master volume of the program's own output, one gain per side.
//
// Threads: set() belongs to the owner; apply() to the audio thread.
class OutputGain {
public:
    OutputGain(float left, float right) : left_(left), right_(right) { }

    // Owner thread.
    void set(float left, float right)
    {
        DZQ_NEVER_AUDIO_THREAD();
        left_.store(left, std::memory_order_relaxed);
        right_.store(right, std::memory_order_relaxed);
    }

    // Audio thread: scales the buffers in place.
    void apply(float *left, float *right, int frames) const
    {
        DZQ_ONLY_AUDIO_THREAD();
        const float gl = left_.load(std::memory_order_relaxed);
        const float gr = right_.load(std::memory_order_relaxed);
        for (int i = 0; i < frames; ++i) {
            left[i] *= gl;
            right[i] *= gr;
        }
    }

private:
    std::atomic<float> left_;
    std::atomic<float> right_;
};
