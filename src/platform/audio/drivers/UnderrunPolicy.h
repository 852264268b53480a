#pragma once

#include <QtGlobal>

// When the device buffer should change size.
//
// Larger: an underrun the device reported means the buffer is too small for
// this machine. Underruns in silence count too: nobody heard that one, but
// the next may come under a note, and a larger buffer is best taken while
// nothing plays. Not counted: those of a paused stream, and those reported
// just after the stream opened, resumed or changed size, which only say that
// the server found the stream empty while it was being filled.
//
// Smaller: after a clean stretch of running output, the step below is tried
// again, at a moment the output is silent (so the switch cannot be heard).
// The stretch is kCleanToShrinkNs, or kCleanToStartShrinkingNs for a buffer
// the run started with (remembered from an earlier run: a bad minute then
// says little about now). If the smaller buffer underruns within
// kProbationNs, the run goes back up and waits twice as long before the next
// try (up to kLongestWaitNs): a machine that cannot hold the smaller buffer
// glitches ever more rarely, not every few minutes.
//
// Owner thread.
class UnderrunPolicy {
public:
    static constexpr qint64 kAfterOpenNs = 2'000'000'000;  // the program starting up
    static constexpr qint64 kAfterRestartNs = 300'000'000;
    static constexpr qint64 kCleanToShrinkNs = 120'000'000'000;
    static constexpr qint64 kCleanToStartShrinkingNs = 20'000'000'000;
    static constexpr qint64 kProbationNs = 300'000'000'000;
    static constexpr qint64 kLongestWaitNs = 32 * 60'000'000'000LL;

    enum class Change { None, Larger, Smaller };

    // startedLarger: the stream opened above the smallest buffer.
    void opened(qint64 nowNs, bool startedLarger = false)
    {
        graceUntilNs_ = nowNs + kAfterOpenNs;
        lastCheckNs_ = nowNs;
        cleanWaitNs_ = startedLarger ? kCleanToStartShrinkingNs : kCleanToShrinkNs;
    }
    void restarted(qint64 nowNs) { graceUntilNs_ = qMax(graceUntilNs_, nowNs + kAfterRestartNs); }

    // underrunNs: the steady time the device reported one, 0 for none.
    bool needsLargerBuffer(qint64 underrunNs, bool streamActive) const
    {
        return underrunNs > 0 && streamActive && underrunNs >= graceUntilNs_;
    }

    // Called a few times a second. smallest: the buffer is the smallest
    // already; silent: the output is silent now and nothing waits to sound.
    Change check(qint64 nowNs, qint64 underrunNs, bool streamActive, bool smallest, bool silent)
    {
        const qint64 since = qMax<qint64>(0, nowNs - lastCheckNs_);
        lastCheckNs_ = nowNs;
        if (needsLargerBuffer(underrunNs, streamActive)) {
            cleanNs_ = 0;
            return Change::Larger;
        }
        // Only time with the stream running shows that the buffer holds.
        if (streamActive)
            cleanNs_ += since;
        if (!smallest && silent && cleanNs_ >= cleanWaitNs_)
            return Change::Smaller;
        return Change::None;
    }
    // The device took the change.
    void changed(qint64 nowNs, Change change)
    {
        if (change == Change::Larger) {
            // The smaller buffer did not hold: wait longer before the next try.
            const bool failed = shrankAtNs_ > 0 && nowNs - shrankAtNs_ < kProbationNs;
            cleanWaitNs_ = failed ? qMin(kLongestWaitNs, qMax(kCleanToShrinkNs, 2 * cleanWaitNs_)) : kCleanToShrinkNs;
            shrankAtNs_ = 0;
        } else if (change == Change::Smaller) {
            shrankAtNs_ = nowNs;
        }
        cleanNs_ = 0;
        restarted(nowNs);
    }
    // The device refused it: the next try waits for another clean stretch.
    // An underrun at the largest buffer says the machine is busy now: a
    // buffer remembered from an earlier run gets no shorter wait.
    void refused(Change change)
    {
        cleanNs_ = 0;
        if (change == Change::Larger)
            cleanWaitNs_ = qMax(cleanWaitNs_, kCleanToShrinkNs);
    }

    // What the next try waits for.
    qint64 cleanWaitNs() const { return cleanWaitNs_; }

private:
    qint64 graceUntilNs_ = 0;
    qint64 lastCheckNs_ = 0;
    qint64 cleanNs_ = 0;
    qint64 cleanWaitNs_ = kCleanToShrinkNs;
    qint64 shrankAtNs_ = 0;
};
