#pragma once

#include <QtGlobal>

// Whether an underrun the device reported means that the buffer is too
// small for this machine.
//
// Underruns in silence count too: nobody heard that one, but the next may
// come under a note, and a larger buffer is best taken while nothing plays.
// Not counted: those of a paused stream, and those reported just after the
// stream opened, resumed or changed size, which only say that the server
// found the stream empty while it was being filled.
class UnderrunPolicy {
public:
    static constexpr qint64 kAfterOpenNs = 2'000'000'000;     // the program starting up
    static constexpr qint64 kAfterRestartNs = 300'000'000;

    void opened(qint64 nowNs) { graceUntilNs_ = nowNs + kAfterOpenNs; }
    void restarted(qint64 nowNs) { graceUntilNs_ = qMax(graceUntilNs_, nowNs + kAfterRestartNs); }

    // underrunNs: the steady time the device reported one, 0 for none.
    bool needsLargerBuffer(qint64 underrunNs, bool streamActive) const
    {
        return underrunNs > 0 && streamActive && underrunNs >= graceUntilNs_;
    }

private:
    qint64 graceUntilNs_ = 0;
};
