#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/realtime/SpscRing.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QtGlobal>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class SampleClock;

// Hands MIDI messages from the user-interface thread to the audio thread and
// places timed ones on the output's block grid.
//
// A timed message carries the steady time at which it should sound; the audio
// thread applies it at the block boundary nearest to that time (at once if the
// time has passed). A live message is played by the sending thread itself, at
// once, unless a timed message of its channel is still waiting: then it goes
// through the queue as a "flush", which makes the audio thread apply every
// earlier message of that channel and then the live one at the start of its
// next block. Other channels keep their exact times. So a key's note-off can
// never overtake the timed note-on it belongs to.
//
// What applyDue(B) does with each waiting message, in the order sent:
//
//   waiting message                                        | applied at B?
//   -------------------------------------------------------+---------------------------
//   timed, nearest boundary <= B                           | yes
//   timed, nearest boundary > B, no later flush of its     | no, it waits for its own
//     channel                                              |   boundary
//   timed, nearest boundary > B, a later flush of its      | yes, before that flush
//     channel                                              |
//   flush (a live message behind its channel)              | yes, at the first boundary
//   any message of another channel                         | as if no flush were there
//
// Messages applied at the same boundary go in the order sent. Hence, with
// timed messages sent in non-decreasing times (as every timer does), the
// messages of one channel are applied in the order they were sent.
class MessageScheduler {
public:
    // capacity: messages the queue (and the audio side's waiting list) hold.
    explicit MessageScheduler(int capacity = 4096);

    // --- sending thread ---
    // Queues a message that should sound at soundNs (steady clock). Returns
    // false when the queue is full: then the caller plays it at once.
    bool pushTimed(const MidiMessage &message, qint64 soundNs);
    // A live message. Returns true when the caller may play it directly;
    // false when it was queued behind its channel's waiting messages. (When
    // the queue is full it also returns true: playing early beats losing it.)
    bool routeLive(const MidiMessage &message);
    // Messages of the channel handed to the audio thread but not applied yet.
    quint64 waitingOnChannel(int channel) const;

    // --- audio thread ---
    // Takes the queued messages into the waiting list, placing timed ones on
    // the clock's frame grid.
    void collect(const SampleClock &clock);
    // applyDue(boundary) would apply something.
    bool hasDue(qint64 boundary) const
    {
        DZQ_ONLY_AUDIO_THREAD();
        return waitingCount_ > 0 && (flushes_ > 0 || earliest_ <= boundary);
    }
    // Applies, in the order sent, every waiting message due at or before the
    // block boundary (plus the flushes and what they pull along). A message
    // whose boundary has passed (the caller skipped a block) is applied at
    // the next call.
    template <typename Apply>
    void applyDue(qint64 boundary, Apply &&apply);
    // Nothing is queued or waiting to be applied.
    bool isEmpty() const
    {
        DZQ_ONLY_AUDIO_THREAD();
        return waitingCount_ == 0 && queue_.empty();
    }

private:
    enum Flags : quint8 { Timed = 0, Flush = 1 };
    struct Item {
        MidiMessage message;
        quint8 flags;
        qint64 soundNs;
    };
    struct Waiting {
        MidiMessage message;
        bool flush;
        qint64 boundary;
    };

    SpscRing<Item> queue_;
    std::array<quint64, 16> pushed_{};                 // sending thread only
    std::array<std::atomic<quint64>, 16> applied_{};   // written by the audio thread
    std::unique_ptr<Waiting[]> waiting_;                // audio thread only
    int capacity_;
    int waitingCount_ = 0;
    qint64 earliest_ = INT64_MAX;  // smallest boundary in the waiting list
    int flushes_ = 0;        // flushes in the waiting list
};

template <typename Apply>
void MessageScheduler::applyDue(qint64 boundary, Apply &&apply)
{
    if (!hasDue(boundary))
        return;
    // A flush pulls every earlier message of its channel along.
    int lastFlush[16];
    for (int &i : lastFlush)
        i = -1;
    if (flushes_ > 0) {
        for (int i = 0; i < waitingCount_; ++i) {
            if (waiting_[i].flush)
                lastFlush[waiting_[i].message.channel()] = i;
        }
    }
    int kept = 0;
    qint64 earliest = INT64_MAX;
    for (int i = 0; i < waitingCount_; ++i) {
        const Waiting w = waiting_[i];
        const int channel = w.message.channel();
        if (w.flush || w.boundary <= boundary || i <= lastFlush[channel]) {
            apply(w.message);
            applied_[channel].fetch_add(1, std::memory_order_release);
        } else {
            waiting_[kept++] = w;
            earliest = qMin(earliest, w.boundary);
        }
    }
    waitingCount_ = kept;
    earliest_ = earliest;
    flushes_ = 0;
}
