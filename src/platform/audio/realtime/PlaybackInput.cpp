#include "platform/audio/realtime/PlaybackInput.h"

namespace {

// Frames copied at a time.
constexpr int kChunk = 256;

}  // namespace

PlaybackInput::PlaybackInput(std::size_t capacityFrames) : ring_(capacityFrames), scratch_(new StereoFrame[kChunk]) { }

int PlaybackInput::push(const float *interleaved, int frames)
{
    DZQ_NEVER_AUDIO_THREAD();
    StereoFrame chunk[kChunk];
    int done = 0;
    while (done < frames) {
        const int n = qMin(kChunk, frames - done);
        for (int i = 0; i < n; ++i)
            chunk[i] = StereoFrame{interleaved[2 * (done + i)], interleaved[2 * (done + i) + 1]};
        const int pushed = int(ring_.push(chunk, std::size_t(n)));
        done += pushed;
        pushed_.fetch_add(quint64(pushed));
        if (pushed < n)
            break;
    }
    return done;
}

void PlaybackInput::mixInto(float *left, float *right, int frames)
{
    DZQ_ONLY_AUDIO_THREAD();
    quint64 taken = taken_.load(std::memory_order_relaxed);
    // Frames of a stopped playback are dropped, never heard.
    const quint64 discardTo = discardTo_.load();
    while (taken < discardTo) {
        const std::size_t got = ring_.pop(scratch_.get(), std::size_t(qMin<quint64>(kChunk, discardTo - taken)));
        if (got == 0)
            break;
        taken += got;
    }
    for (int done = 0; done < frames;) {
        const int got = int(ring_.pop(scratch_.get(), std::size_t(qMin(kChunk, frames - done))));
        if (got == 0)
            break;
        for (int i = 0; i < got; ++i) {
            left[done + i] += scratch_[i].left;
            right[done + i] += scratch_[i].right;
        }
        done += got;
        taken += quint64(got);
    }
    taken_.store(taken);
}
