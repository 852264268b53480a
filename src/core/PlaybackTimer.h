#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Clock;

// An interval timer of a window (Timer1, Timer3, BZDS, ...), with the
// enabled flag and the interval kept as state like the classic control:
// a timer that is enabled with interval 0 does not tick.
//
// Ticks are laid on a fixed grid: each tick is due one interval after the
// previous tick's due time, not after the moment it actually ran, so a late
// tick never delays the ones after it. A changed interval counts from the
// moment it is set (the tick time inside a tick, see Clock::referenceNs).
// The handler runs inside a Clock::TickScope of the tick's ideal time.
class PlaybackTimer : public QObject {
    Q_OBJECT
public:
    PlaybackTimer(Clock &clock, const QString &name, int intervalMs = 0, QObject *parent = nullptr);
    ~PlaybackTimer() override;

    void setInterval(int ms);
    int interval() const { return interval_; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    // Enabled with a positive interval: ticks are coming.
    bool isTicking() const { return enabled_ && interval_ > 0; }
    // Disables and enables again: the next tick is one interval from now.
    void restart();

    // Ideal time of the next tick, or -1 when none is coming.
    qint64 nextDueNs() const { return isTicking() ? nextDue_ : -1; }

    // The handler of every tick.
    std::function<void()> onTick;

    // Called by the clock when the tick is due.
    void fire(qint64 dueNs);

private:
    void arm();

    Clock &clock_;
    int interval_ = 0;
    bool enabled_ = false;
    qint64 origin_ = 0;    // ideal time of the last tick, or of the start
    qint64 nextDue_ = 0;
};
