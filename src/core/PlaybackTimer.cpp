#include "core/PlaybackTimer.h"

#include "core/Clock.h"

namespace {
constexpr qint64 kNsPerMs = 1000000;
}

PlaybackTimer::PlaybackTimer(Clock &clock, const QString &name, int intervalMs, QObject *parent)
    : QObject(parent), clock_(clock), interval_(qMax(0, intervalMs))
{
    setObjectName(name);
}

PlaybackTimer::~PlaybackTimer()
{
    clock_.release(this);
}

void PlaybackTimer::setInterval(int ms)
{
    ms = qMax(0, ms);
    if (ms == interval_)
        return;
    interval_ = ms;
    if (!enabled_)
        return;
    // Like a window timer, a new interval counts from the moment it is set.
    // Inside the timer's own tick that moment is the tick's ideal time, so
    // the grid stays free of drift; set from anywhere else (the tempo list,
    // another timer's tick) the next tick is one full new interval away.
    origin_ = clock_.referenceNs();
    arm();
}

void PlaybackTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled_) {
        origin_ = clock_.referenceNs();
        arm();
    } else {
        clock_.cancel(this);
    }
}

void PlaybackTimer::restart()
{
    setEnabled(false);
    setEnabled(true);
}

void PlaybackTimer::arm()
{
    if (!isTicking()) {
        clock_.cancel(this);
        return;
    }
    nextDue_ = origin_ + qint64(interval_) * kNsPerMs;
    clock_.schedule(this, nextDue_);
}

void PlaybackTimer::fire(qint64 dueNs)
{
    if (!isTicking() || dueNs != nextDue_)
        return;  // a tick that was called off meanwhile
    // A tick more than one interval late (a modal box, a stalled machine) starts
    // a new grid at the present instead of firing a burst of catch-up ticks.
    const qint64 now = clock_.nowNs();
    const qint64 ideal = (now - dueNs > qint64(interval_) * kNsPerMs) ? now : dueNs;
    origin_ = ideal;
    arm();
    Clock::TickScope scope(clock_, ideal);
    if (onTick)
        onTick();
}
