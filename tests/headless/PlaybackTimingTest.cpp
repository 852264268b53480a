#include "ExportTestSupport.h"
#include "TestMain.h"

#include "headless/ScoreRender.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Times in ms of the rhythm's note-ons (channel 9), one entry per step.
QList<qint64> rhythmStepsMs(const ScoreRender::Performance &p)
{
    QList<qint64> out;
    for (const TimedMidiMessage &m : p.messages) {
        const qint64 ms = m.ns / 1000000;
        if (m.message.status == 0x99 && (out.isEmpty() || out.last() != ms))
            out << ms;
    }
    return out;
}

}  // namespace

// Where the rhythm's steps fall against the melody's clock, to the millisecond.
class PlaybackTimingTest : public QObject {
    Q_OBJECT
private slots:
    void rhythmSwitchedToAShorterPatternKeepsItsPlace()
    {
        // 2/4 runs on the clock from 83 ms, a step every 166 ms. At 2490 ms the
        // 3/4 rhythm takes over while the index stands past its last step: that
        // step is played first, and the 3/4 pattern starts one period later.
        QTemporaryDir dir;
        NoticeList notices;
        const auto p = ScoreRender::play("JP1XZ30JP4XZ32TZ", dir.path(), notices);
        QList<qint64> switched;  // sounding 3/4 steps, by step number
        for (qint64 ms : rhythmStepsMs(p)) {
            if (ms > 2490)
                switched << (ms - 2739) / 166;
        }
        // The same rhythm started by the score: step 0 at once and again on
        // the clock's first tick, then step k at 83 + 166 k.
        const auto alone = ScoreRender::play("JP4XZ32TZ", dir.path(), notices);
        QList<qint64> reference;
        for (qint64 ms : rhythmStepsMs(alone)) {
            if (ms > 0)
                reference << (ms - 83) / 166;
        }
        QVERIFY(!switched.isEmpty());
        QCOMPARE(rhythmStepsMs(p).count(2739), 1);
        QCOMPARE(switched, reference.mid(0, switched.size()));
    }

    void tempoChangeBeforeTheClockTakesOverNeverDoublesAStep()
    {
        // JP1 starts the rhythm timer on the tick at 249 ms; VS11 at 332 ms
        // sets its interval to 136 ms from that tick on, so the clock's next
        // even tick (400 ms) takes the rhythm over first, with no extra step.
        QTemporaryDir dir;
        NoticeList notices;
        const auto p = ScoreRender::play("XZ3JP1KC1VS11KD8KE8KF8KG8TZ", dir.path(), notices);
        const QList<qint64> steps = rhythmStepsMs(p);
        QCOMPARE(steps.mid(0, 2), (QList<qint64>{249, 400}));
        for (qint64 ms : steps.mid(1))
            QVERIFY2((ms - 400) % 136 == 0, qPrintable(QString::number(ms)));
    }
};

DZQ_REGISTER_TEST(PlaybackTimingTest)
#include "PlaybackTimingTest.moc"
