#include "platform/audio/realtime/MessageScheduler.h"

#include "platform/audio/realtime/SampleClock.h"
#include "platform/audio/realtime/SynthRender.h"

MessageScheduler::MessageScheduler(int capacity)
    : queue_(std::size_t(qMax(16, capacity))), waiting_(new Waiting[std::size_t(qMax(16, capacity))]),
      capacity_(qMax(16, capacity))
{
    for (auto &a : applied_)
        a.store(0, std::memory_order_relaxed);
}

bool MessageScheduler::pushTimed(const MidiMessage &message, qint64 soundNs)
{
    DZQ_NEVER_AUDIO_THREAD();
    if (!queue_.push(Item{message, Timed, soundNs}))
        return false;
    ++pushed_[std::size_t(message.channel())];
    return true;
}

bool MessageScheduler::routeLive(const MidiMessage &message)
{
    DZQ_NEVER_AUDIO_THREAD();
    const int channel = message.channel();
    if (waitingOnChannel(channel) == 0)
        return true;
    if (!queue_.push(Item{message, Flush, 0}))
        return true;
    ++pushed_[channel];
    return false;
}

quint64 MessageScheduler::waitingOnChannel(int channel) const
{
    DZQ_NEVER_AUDIO_THREAD();
    channel &= 0x0F;
    return pushed_[channel] - applied_[channel].load(std::memory_order_acquire);
}

void MessageScheduler::collect(const SampleClock &clock)
{
    DZQ_ONLY_AUDIO_THREAD();
    Item item;
    while (waitingCount_ < capacity_ && queue_.pop(item)) {
        Waiting &w = waiting_[waitingCount_];
        w.message = item.message;
        w.flush = item.flags == Flush;
        w.boundary = w.flush ? 0 : SynthRender::nearestBlock(clock.frameAt(item.soundNs));
        if (w.flush)
            ++flushes_;
        else
            earliest_ = qMin(earliest_, w.boundary);
        ++waitingCount_;
    }
}
