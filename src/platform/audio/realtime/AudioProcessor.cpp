#include "platform/audio/realtime/AudioProcessor.h"

#include "platform/audio/realtime/SynthRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The synthesizer stops once its output has stayed below kQuietLevel this
// long: every voice has ended and the reverb and chorus have died away.
constexpr qint64 kQuietSeconds = 1;
constexpr float kQuietLevel = 1e-7f;
// Sound at or above this (about -80 dBFS) counts as audible.
constexpr float kAudibleLevel = 1e-4f;

float loudestOf(const float *left, const float *right, int frames)
{
    float loudest = 0;
    for (int i = 0; i < frames; ++i)
        loudest = std::max(loudest, std::max(std::fabs(left[i]), std::fabs(right[i])));
    return loudest;
}

}  // namespace

AudioProcessor::AudioProcessor(std::size_t tapFrames, std::size_t playbackFrames, float gainLeft, float gainRight)
    : gain_(gainLeft, gainRight), tap_(tapFrames), play_(playbackFrames), left_(new float[kMaxFrames]),
      right_(new float[kMaxFrames])
{
}

void AudioProcessor::prepare(int sampleRate, int periodFrames)
{
    DZQ_NEVER_AUDIO_THREAD();
    rate_ = sampleRate;
    clock_.emplace(sampleRate, periodFrames);
}

bool AudioProcessor::nothingWaits() const
{
    DZQ_NEVER_AUDIO_THREAD();
    for (int channel = 0; channel < 16; ++channel) {
        if (scheduler_.waitingOnChannel(channel) > 0)
            return false;
    }
    return true;
}

bool AudioProcessor::mayDelete(const fluid_synth_t *synth, quint64 periodsAt) const
{
    DZQ_NEVER_AUDIO_THREAD();
    // The period that took it has ended once the audio thread is out of
    // process() or has finished another period; after that only its fade
    // may still render it.
    const bool outside = !inProcess_.load();
    return (outside || periods_.load() > periodsAt) && !fade_.holds(synth);
}

void AudioProcessor::render(float *left, float *right, int frames, qint64 nowNs)
{
    DZQ_ONLY_AUDIO_THREAD();
    if (clockRestart_.exchange(false))
        clock_->reset();
    std::memset(left, 0, sizeof(float) * std::size_t(frames));
    std::memset(right, 0, sizeof(float) * std::size_t(frames));
    process(left, right, frames, nowNs);
}

void AudioProcessor::renderInterleaved(float *out, int frames, qint64 nowNs)
{
    DZQ_ONLY_AUDIO_THREAD();
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kMaxFrames);
        render(left_.get(), right_.get(), n, nowNs + qint64(done) * 1'000'000'000 / rate_);
        for (int i = 0; i < n; ++i) {
            out[2 * (done + i)] = left_[std::size_t(i)];
            out[2 * (done + i) + 1] = right_[std::size_t(i)];
        }
        done += n;
    }
}

bool AudioProcessor::nothingSounds()
{
    DZQ_ONLY_AUDIO_THREAD();
    // Decided without the synthesizer's lock, which the owner thread may
    // hold for a while (loading a program's samples): a message arrived, or
    // the synthesizer's output has not yet been silent for a while.
    const quint32 live = liveSent_.load(std::memory_order_acquire);
    const bool busy = live != liveSeen_ || !scheduler_.isEmpty();
    liveSeen_ = live;
    if (busy)
        quietFrames_ = 0;
    return quietFrames_ >= kQuietSeconds * rate_;
}

void AudioProcessor::applyDue(qint64 boundary, bool font)
{
    DZQ_ONLY_AUDIO_THREAD();
    if (!scheduler_.hasDue(boundary))
        return;
    // Another thread inside: the messages wait for a later block.
    if (!gate_.tryEnter()) {
        gate_.countMiss();
        return;
    }
    // Inside the gate the synthesizer is not replaced: the messages go to
    // the one that plays from now on.
    fluid_synth_t *current = synth_.load();
    scheduler_.applyDue(boundary, [this, current, font](const MidiMessage &message) {
        if (!font)
            return;
        SynthRender::applyShortMessage(current, message);
        held_.note(message);
    });
    gate_.leave();
}

void AudioProcessor::process(float *left, float *right, int frames, qint64 nowNs)
{
    DZQ_ONLY_AUDIO_THREAD();
    clock_->update(nowNs, frames_);
    scheduler_.collect(*clock_);

    // Before the synthesizer is taken: an owner that replaces it then
    // waits for this period to end before deleting the old one.
    inProcess_.store(true);
    const bool font = fontLoaded_;
    fluid_synth_t *synth = synth_.load();
    // A synthesizer replaced since the last period fades out under this one.
    fade_.begin(synth);
    // While nothing sounds, whole blocks are skipped: the synthesizer's own
    // blocks stay on our grid. What is left of a period that is not a whole
    // number of blocks (a sound server asks for any count) is rendered, and
    // is silence.
    const bool idle = nothingSounds();
    const int block = SynthRender::kBlockFrames;
    const int skipped = idle ? frames / block * block : 0;
    if (idle) {
        idlePeriods_.fetch_add(1, std::memory_order_relaxed);
        idleFrames_.fetch_add(frames, std::memory_order_relaxed);
    } else {
        idleFrames_.store(0, std::memory_order_relaxed);
    }
    if (skipped < frames) {
        // Block by block: messages may be due at any boundary.
        SynthRender::renderOnBlockGrid(
            synth, left + skipped, right + skipped, frames_ + skipped, frames - skipped,
            [this, font](qint64 boundary) { applyDue(boundary, font); }, [] { return qint64(0); });
    }
    if (idle) {
        fade_.end();  // nothing sounds in the old one either
    } else {
        fade_.mix(left, right, frames, SynthRender::processBlock);
        // Quiet: below what a 24-bit device could play, reverb tail included.
        quietFrames_ = loudestOf(left, right, frames) < kQuietLevel ? quietFrames_ + frames : 0;
    }
    const qint64 end = frames_ + frames;
    frames_ = end;
    play_.mixInto(left, right, frames);
    gain_.apply(left, right, frames);
    if (loudestOf(left, right, frames) >= kAudibleLevel)
        audibleUntil_.store(end, std::memory_order_relaxed);

    renderedFrames_.store(end);
    tap_.offer(left, right, frames);
    periods_.fetch_add(1);
    inProcess_.store(false);
}
