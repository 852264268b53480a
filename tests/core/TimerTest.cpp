#include "TestMain.h"

#include "core/Clock.h"
#include "core/PlaybackTimer.h"

#include <QVector>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

namespace {
constexpr qint64 ms = 1000000;
}

// The interval timers on a virtual clock: exact tick times, the enabled /
// interval rules of the classic timer, and a grid that late ticks never shift.
class TimerTest : public QObject {
    Q_OBJECT
private slots:
    void ticksOnAFixedGrid()
    {
        VirtualClock clock;
        PlaybackTimer t(clock, "BZDS", 166);
        QVector<qint64> at;
        t.onTick = [&] { at << clock.tickTimeNs(); };
        t.setEnabled(true);
        clock.advanceMs(500);
        QCOMPARE(at, (QVector<qint64>{166 * ms, 332 * ms, 498 * ms}));
        QCOMPARE(clock.tickTimeNs(), qint64(-1));  // outside a tick again
    }

    void intervalZeroWhileEnabledDoesNotTick()
    {
        VirtualClock clock;
        PlaybackTimer t(clock, "Timer3", 0);
        int ticks = 0;
        t.onTick = [&] { ++ticks; };
        t.setEnabled(true);
        QVERIFY(t.isEnabled());
        QVERIFY(!t.isTicking());
        clock.advanceMs(1000);
        QCOMPARE(ticks, 0);
        QVERIFY(clock.idle());
        // Giving it an interval starts counting from the moment it gets one.
        t.setInterval(100);
        clock.advanceMs(250);
        QCOMPARE(ticks, 2);
    }

    void newIntervalCountsFromTheMomentItIsSet()
    {
        // Between ticks (the tempo list): one full new interval from the change.
        VirtualClock clock;
        PlaybackTimer t(clock, "BZDS", 200);
        QVector<qint64> at;
        t.onTick = [&] { at << clock.nowNs(); };
        t.setEnabled(true);
        clock.advanceMs(250);            // tick at 200
        t.setInterval(100);              // a tempo change between ticks
        clock.advanceMs(250);            // 350, 450: never earlier than 250 + 100
        QCOMPARE(at, (QVector<qint64>{200 * ms, 350 * ms, 450 * ms}));
        t.setInterval(100);              // the same interval: the count goes on
        clock.advanceMs(60);
        QCOMPARE(at.last(), 550 * ms);

        // Inside another timer's tick: counted from that tick's ideal time.
        VirtualClock clock2;
        PlaybackTimer rhythm(clock2, "BZDS", 166);
        PlaybackTimer player(clock2, "Timer3", 83);
        QVector<qint64> rhythmAt;
        rhythm.onTick = [&] { rhythmAt << clock2.tickTimeNs(); };
        player.onTick = [&] {
            if (clock2.tickTimeNs() == 83 * ms)
                rhythm.setInterval(136);  // a tempo command in the score
        };
        rhythm.setEnabled(true);
        player.setEnabled(true);
        clock2.advanceMs(300);
        QCOMPARE(rhythmAt, (QVector<qint64>{219 * ms}));
    }

    void intervalChangedInsideATickAppliesToTheNextOne()
    {
        VirtualClock clock;
        PlaybackTimer t(clock, "Timer3", 83);
        QVector<qint64> at;
        t.onTick = [&] {
            at << clock.tickTimeNs();
            t.setInterval(at.size() == 1 ? 166 : 83);  // a stretched wait, then back
        };
        t.setEnabled(true);
        clock.advanceMs(83 + 166 + 83);
        QCOMPARE(at, (QVector<qint64>{83 * ms, 249 * ms, 332 * ms}));
    }

    void timerStartedInsideATickCountsFromThatTick()
    {
        VirtualClock clock;
        PlaybackTimer clockTimer(clock, "Timer3", 100);
        PlaybackTimer rhythm(clock, "BZDS", 50);
        QVector<qint64> rhythmAt;
        rhythm.onTick = [&] { rhythmAt << clock.tickTimeNs(); };
        clockTimer.onTick = [&] {
            rhythm.setEnabled(true);
            clockTimer.setEnabled(false);
        };
        clockTimer.setEnabled(true);
        clock.advanceMs(210);
        QCOMPARE(rhythmAt, (QVector<qint64>{150 * ms, 200 * ms}));
    }

    void enablingAnEnabledTimerKeepsItsCountdown()
    {
        VirtualClock clock;
        PlaybackTimer t(clock, "Timer1", 80);
        QVector<qint64> at;
        t.onTick = [&] { at << clock.nowNs(); };
        t.setEnabled(true);
        clock.advanceMs(50);
        t.setEnabled(true);
        clock.advanceMs(40);
        QCOMPARE(at, (QVector<qint64>{80 * ms}));
        t.restart();  // restart counts from now (90)
        clock.advanceMs(100);
        QCOMPARE(at, (QVector<qint64>{80 * ms, 170 * ms}));
    }

    void disabledTimerNeverFires()
    {
        VirtualClock clock;
        PlaybackTimer t(clock, "HXYS", 1000);
        int ticks = 0;
        t.onTick = [&] { ++ticks; };
        t.setEnabled(true);
        t.setEnabled(false);
        clock.advanceMs(5000);
        QCOMPARE(ticks, 0);
    }

    void tickScopeOpenedByAUserAction()
    {
        VirtualClock clock;
        clock.setNow(5 * ms);
        {
            Clock::TickScope scope(clock);
            QCOMPARE(clock.tickTimeNs(), 5 * ms);
            clock.setNow(7 * ms);
            Clock::TickScope inner(clock);  // an open scope is kept
            QCOMPARE(clock.tickTimeNs(), 5 * ms);
        }
        QCOMPARE(clock.tickTimeNs(), qint64(-1));
    }

    void steadyClockTicksThroughTheEventLoop()
    {
        SteadyClock clock;
        PlaybackTimer t(clock, "Timer2", 20);
        int ticks = 0;
        t.onTick = [&] { ++ticks; };
        t.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
    }

    // Property over random timers: ticks come in order of time, and ticks
    // at the same time in the order the timers were last armed.
    void sameTimeTicksFollowTheArmingOrder()
    {
        std::mt19937 random(7);
        for (int round = 0; round < 20; ++round) {
            VirtualClock clock;
            std::vector<std::unique_ptr<PlaybackTimer>> timers;
            std::vector<quint64> armed;
            quint64 arming = 0;
            QVector<QPair<qint64, quint64>> ticks;  // (time, arming number at the tick)
            const int count = 2 + int(random() % 6);
            for (int i = 0; i < count; ++i) {
                const int interval = 10 * (1 + int(random() % 3));
                timers.push_back(std::make_unique<PlaybackTimer>(clock, "T", interval));
                armed.push_back(0);
            }
            for (int i = 0; i < count; ++i) {
                PlaybackTimer *t = timers[size_t(i)].get();
                t->onTick = [&, i] {
                    ticks.append({clock.tickTimeNs(), armed[size_t(i)]});
                    armed[size_t(i)] = ++arming;  // the grid arms it again
                };
            }
            // Enabled in a random order at random whole 10 ms steps.
            std::vector<int> order(static_cast<size_t>(count));
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin(), order.end(), random);
            for (int i : order) {
                clock.advanceMs(10 * qint64(random() % 2));
                armed[size_t(i)] = ++arming;
                timers[size_t(i)]->setEnabled(true);
            }
            clock.advanceMs(300);
            QVERIFY(ticks.size() > count);
            for (int k = 1; k < ticks.size(); ++k)
                QVERIFY2(ticks[k - 1] < ticks[k], qPrintable(QStringLiteral("round %1 tick %2").arg(round).arg(k)));
        }
    }
};

DZQ_REGISTER_TEST(TimerTest)
#include "TimerTest.moc"
