#include "platform/audio/realtime/OutputTap.h"

namespace {

// Frames interleaved at a time.
constexpr int kChunk = 256;

}  // namespace

OutputTap::OutputTap(std::size_t capacityFrames) : ring_(capacityFrames), scratch_(new StereoFrame[kChunk]) { }

void OutputTap::offer(const float *left, const float *right, int frames)
{
    DZQ_ONLY_AUDIO_THREAD();
    if (!enabled_.load())
        return;
    for (int done = 0; done < frames;) {
        const int n = qMin(kChunk, frames - done);
        for (int i = 0; i < n; ++i)
            scratch_[i] = StereoFrame{left[done + i], right[done + i]};
        const std::size_t pushed = ring_.push(scratch_.get(), std::size_t(n));
        pushed_.fetch_add(quint64(pushed), std::memory_order_relaxed);
        if (pushed < std::size_t(n))
            lost_.fetch_add(quint64(std::size_t(n) - pushed), std::memory_order_relaxed);
        done += n;
    }
}

int OutputTap::read(float *interleaved, int maxFrames)
{
    DZQ_NEVER_AUDIO_THREAD();
    int done = 0;
    StereoFrame chunk[kChunk];
    while (done < maxFrames) {
        const int got = int(ring_.pop(chunk, std::size_t(qMin(kChunk, maxFrames - done))));
        if (got == 0)
            break;
        for (int i = 0; i < got; ++i) {
            interleaved[2 * (done + i)] = chunk[i].left;
            interleaved[2 * (done + i) + 1] = chunk[i].right;
        }
        done += got;
    }
    return done;
}
