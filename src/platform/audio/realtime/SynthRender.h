#pragma once

#include "core/MidiMessage.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

typedef struct _fluid_synth_t fluid_synth_t;

// How the synthesizer is run and played, the same for the live output and
// the offline render so that a rendered file sounds like the live output:
// the block grid of FluidSynth and one message into it.
namespace SynthRender {

// FluidSynth renders in blocks of this many frames; a message applied between
// blocks takes effect exactly at the block boundary.
constexpr int kBlockFrames = 64;

// The block boundary nearest to a (fractional) frame position.
inline qint64 nearestBlock(double frame)
{
    return qint64(std::floor(frame / kBlockFrames + 0.5)) * kBlockFrames;
}
// The first block boundary at or after a frame position.
inline qint64 blockAtOrAfter(qint64 frame)
{
    return (frame + kBlockFrames - 1) / kBlockFrames * kBlockFrames;
}

// Plays one message. Messages that are not channel messages are ignored.
void applyShortMessage(fluid_synth_t *synth, const MidiMessage &message);

// Runs the synthesizer over `frames` frames; adds into the buffers, effects
// mixed in.
void processBlock(fluid_synth_t *synth, float *left, float *right, int frames);

// Runs the synthesizer over `frames` frames starting at frame `start`, on the
// block grid: at each block boundary applyDue(boundary) applies the messages
// due by then, then the synthesizer runs to the next boundary, or on to
// nextDue() (the frame of the next pending message) when that lies further
// ahead. Adds into the buffers, effects mixed in.
template <typename ApplyDue, typename NextDue>
void renderOnBlockGrid(fluid_synth_t *synth, float *left, float *right, qint64 start, int frames,
                       ApplyDue applyDue, NextDue nextDue)
{
    qint64 at = start;
    const qint64 end = start + frames;
    int offset = 0;
    while (at < end) {
        // A message applied now takes effect at the next block boundary.
        const qint64 boundary = blockAtOrAfter(at);
        applyDue(boundary);
        qint64 stop = std::min(boundary + kBlockFrames, end);
        const qint64 next = nextDue();
        if (next > stop)
            stop = std::min(next, end);
        const int n = int(stop - at);
        processBlock(synth, left + offset, right + offset, n);
        at = stop;
        offset += n;
    }
}

}  // namespace SynthRender
