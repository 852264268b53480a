#include "core/Clock.h"

#include "core/PlaybackTimer.h"
#include "core/SteadyTime.h"

#include <QTimer>


SteadyClock::SteadyClock(QObject *parent) : QObject(parent) {}

SteadyClock::~SteadyClock()
{
    for (const Pending &p : std::as_const(timers_))
        delete p.timer;
}

qint64 SteadyClock::nowNs() const
{
    return SteadyTime::nowNs();
}

void SteadyClock::schedule(PlaybackTimer *timer, qint64 dueNs)
{
    Pending &p = timers_[timer];
    if (!p.timer) {
        p.timer = new QTimer;
        p.timer->setSingleShot(true);
        p.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(p.timer, &QTimer::timeout, p.timer, [this, timer] {
            auto it = timers_.find(timer);
            if (it != timers_.end())
                timer->fire(it->dueNs);
        });
    }
    p.dueNs = dueNs;
    // Round to the nearest millisecond: the tick's ideal time is what counts.
    const qint64 waitMs = qBound(qint64(0), (dueNs - nowNs() + 500000) / 1000000, qint64(24 * 3600 * 1000));
    p.timer->start(int(waitMs));
}

void SteadyClock::cancel(PlaybackTimer *timer)
{
    auto it = timers_.find(timer);
    if (it != timers_.end())
        it->timer->stop();
}

void SteadyClock::release(PlaybackTimer *timer)
{
    const Pending p = timers_.take(timer);
    delete p.timer;
}

int VirtualClock::run(qint64 untilNs, int maxTicks)
{
    int fired = 0;
    while (fired < maxTicks && fireNext(untilNs))
        ++fired;
    if (now_ < untilNs && fired < maxTicks)
        now_ = untilNs;
    return fired;
}

int VirtualClock::runUntilIdle(qint64 limitNs, int maxTicks)
{
    int fired = 0;
    while (fired < maxTicks && fireNext(limitNs))
        ++fired;
    return fired;
}

bool VirtualClock::fireNext(qint64 untilNs)
{
    if (queue_.empty())
        return false;
    auto it = queue_.begin();
    if (it->first.first > untilNs)
        return false;
    const qint64 due = it->first.first;
    PlaybackTimer *timer = it->second;
    keys_.remove(timer);
    queue_.erase(it);
    if (due > now_)
        now_ = due;
    timer->fire(due);
    return true;
}

void VirtualClock::schedule(PlaybackTimer *timer, qint64 dueNs)
{
    cancel(timer);
    const auto key = std::make_pair(dueNs, sequence_++);
    queue_[key] = timer;
    keys_.insert(timer, key);
}

void VirtualClock::release(PlaybackTimer *timer)
{
    cancel(timer);
}

void VirtualClock::cancel(PlaybackTimer *timer)
{
    auto it = keys_.find(timer);
    if (it == keys_.end())
        return;
    queue_.erase(it.value());
    keys_.erase(it);
}
