#pragma once

#include <QHash>
#include <QObject>
#include <QtGlobal>

#include <map>

class PlaybackTimer;
class QTimer;

// Monotonic time and timer scheduling for the program's interval timers.
//
// While a timer's tick is handled, "the current tick time" is the ideal time
// of that tick (not the moment the event loop got round to it). Messages sent
// from inside a tick carry that time, so the sound engine can place them
// exactly; timers started from inside a tick count from it too. Outside a
// tick, the tick time is the real present.
class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic nanoseconds.
    virtual qint64 nowNs() const = 0;

    // Ideal time of the tick being handled, or -1 outside every tick.
    qint64 tickTimeNs() const { return tickTime_; }
    // The time to count from: the tick time inside a tick, else now.
    qint64 referenceNs() const { return tickTime_ >= 0 ? tickTime_ : nowNs(); }

    // Marks the code inside as belonging to one moment of timed playing.
    // Opened by timer ticks and by the user actions that start timed playing
    // (the play button, the rhythm start), so that their first messages and
    // the following ticks share one time line.
    class TickScope {
    public:
        TickScope(Clock &clock, qint64 tickTimeNs) : clock_(clock), saved_(clock.tickTime_)
        {
            clock_.tickTime_ = tickTimeNs;
        }
        // Opens a scope at the present unless one is already open.
        explicit TickScope(Clock &clock) : clock_(clock), saved_(clock.tickTime_)
        {
            if (clock_.tickTime_ < 0)
                clock_.tickTime_ = clock_.nowNs();
        }
        ~TickScope() { clock_.tickTime_ = saved_; }
        TickScope(const TickScope &) = delete;
        TickScope &operator=(const TickScope &) = delete;

    private:
        Clock &clock_;
        qint64 saved_;
    };

protected:
    friend class PlaybackTimer;
    // Calls timer->fire(dueNs) at dueNs (or as soon as possible after it).
    virtual void schedule(PlaybackTimer *timer, qint64 dueNs) = 0;
    virtual void cancel(PlaybackTimer *timer) = 0;
    // The timer is going away.
    virtual void release(PlaybackTimer *timer) = 0;

private:
    qint64 tickTime_ = -1;
};

// Real time: steady clock, timers through the Qt event loop.
class SteadyClock final : public QObject, public Clock {
    Q_OBJECT
public:
    explicit SteadyClock(QObject *parent = nullptr);
    ~SteadyClock() override;
    qint64 nowNs() const override;

protected:
    void schedule(PlaybackTimer *timer, qint64 dueNs) override;
    void cancel(PlaybackTimer *timer) override;
    void release(PlaybackTimer *timer) override;

private:
    struct Pending {
        QTimer *timer = nullptr;
        qint64 dueNs = 0;
    };
    QHash<PlaybackTimer *, Pending> timers_;
};

// Virtual time: nothing waits. run() fires the armed timers in order of their
// due times and moves "now" to each. Used for rendering a score to a file and
// by tests that need exact times.
//
// Which timer fires first:
//
//   case                                          | order
//   ----------------------------------------------+-----------------------------------
//   different due times                           | earlier due time first
//   the same due time                             | in the order they were armed
//   re-armed (interval set, enabled again) before | counts as armed anew: after the
//     it fires                                    |   others due at the same time
//   due exactly at run()'s end                    | fires (the end is inclusive)
//   disabled before its due time                  | never fires
class VirtualClock final : public Clock {
public:
    qint64 nowNs() const override { return now_; }
    void setNow(qint64 ns) { now_ = ns; }
    void advanceMs(qint64 ms) { run(now_ + ms * 1000000); }

    // Fires every timer due up to untilNs (inclusive), then sets now to it.
    // Returns the number of ticks fired. Stops early after maxTicks.
    int run(qint64 untilNs, int maxTicks = 10000000);
    // Fires timers until none is armed or the limit is reached.
    int runUntilIdle(qint64 limitNs, int maxTicks = 10000000);
    bool idle() const { return queue_.empty(); }

protected:
    void schedule(PlaybackTimer *timer, qint64 dueNs) override;
    void cancel(PlaybackTimer *timer) override;
    void release(PlaybackTimer *timer) override;

private:
    bool fireNext(qint64 untilNs);

    qint64 now_ = 0;
    quint64 sequence_ = 0;
    // due time, then arming order: timers due at the same time fire in the order armed
    std::map<std::pair<qint64, quint64>, PlaybackTimer *> queue_;
    QHash<PlaybackTimer *, std::pair<qint64, quint64>> keys_;
};
