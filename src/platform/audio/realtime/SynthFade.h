#pragma once

#include "platform/audio/realtime/ThreadRoles.h"

#include <algorithm>
#include <atomic>

typedef struct _fluid_synth_t fluid_synth_t;

// The hand-over from one synthesizer to the one that replaces it (another
// sound font): the replaced one goes on for kFrames more, faded to nothing,
// while the new one comes in over the same frames, so the output has no
// step where the two meet.
//
// The audio thread sees the replacement at the start of a period; until the
// fade has ended, it still renders the replaced synthesizer. holds() tells
// the owner whether it may delete one. Nothing here waits or allocates.
class SynthFade {
public:
    // About 5 ms at 48 kHz: no click, and too short to hear two fonts at once.
    static constexpr int kFrames = 256;

    // Audio thread, at the start of a period: the synthesizer that plays now.
    // When it is another than in the last period, that one begins to fade.
    void begin(fluid_synth_t *playing)
    {
        DZQ_ONLY_AUDIO_THREAD();
        if (playing == heard_)
            return;
        // Replaced again within a fade: the older one is simply dropped.
        fading_ = heard_;
        done_ = 0;
        // First the one fading, then the one heard: the owner reads them the
        // other way round and so never misses one.
        fadingShared_.store(fading_);
        heard_ = playing;
        heardShared_.store(heard_);
    }

    // Audio thread: whether a fade is under way.
    bool fading() const { return fading_ != nullptr; }

    // Audio thread: the new synthesizer's output is in left/right; mixes the
    // replaced one's (rendered by render(synth, left, right, frames), which
    // adds into the buffers) under it, the two crossfaded.
    template <typename Render>
    void mix(float *left, float *right, int frames, Render render)
    {
        DZQ_ONLY_AUDIO_THREAD();
        if (!fading_)
            return;
        const int n = std::min(frames, kFrames - done_);
        std::fill(oldLeft_, oldLeft_ + n, 0.0f);
        std::fill(oldRight_, oldRight_ + n, 0.0f);
        render(fading_, oldLeft_, oldRight_, n);
        for (int i = 0; i < n; ++i) {
            const float in = float(done_ + i + 1) / float(kFrames);
            left[i] = left[i] * in + oldLeft_[i] * (1.0f - in);
            right[i] = right[i] * in + oldRight_[i] * (1.0f - in);
        }
        done_ += n;
        if (done_ >= kFrames)
            end();
    }

    // Audio thread: the replaced one is let go (at once when nothing sounds).
    void end()
    {
        DZQ_ONLY_AUDIO_THREAD();
        fading_ = nullptr;
        fadingShared_.store(nullptr);
    }

    // Any thread: whether the audio thread may still render `synth` (it was
    // heard in the last period, or is fading). A synthesizer replaced after
    // the audio thread's last look is not held, but the caller must also
    // wait for the period running then to end.
    bool holds(const fluid_synth_t *synth) const
    {
        return heardShared_.load() == synth || fadingShared_.load() == synth;
    }

private:
    // Audio thread.
    fluid_synth_t *heard_ = nullptr;
    fluid_synth_t *fading_ = nullptr;
    int done_ = 0;
    float oldLeft_[kFrames] = {};
    float oldRight_[kFrames] = {};
    // For the owner.
    std::atomic<fluid_synth_t *> heardShared_{nullptr};
    std::atomic<fluid_synth_t *> fadingShared_{nullptr};
};
