#include "RhythmTests.h"

#include <QTest>

namespace {

constexpr qint64 kMs = 1000000;
constexpr qint64 kT0 = 5000 * kMs;

// Row A ("低音大鼓", 35) on every step, row B ("小鼓", 38) on step 1 only:
// every tick sends something, and step 1 can be told apart.
void everyStep(RhythmRig &rig)
{
    RhythmPattern &p = rig.pattern;
    p.SetRhythmVolume(5);
    p.SetRhythmInstrument(0, 0);
    p.SetRhythmInstrument(1, 3);
    for (int i = 0; i <= 16; ++i)
        p.SetRhythmCell(0, i, true);
    p.SetRhythmCell(1, 1, true);
    rig.t.clock.setNow(kT0);
    rig.t.clearSent();
}

// Times (ms after kT0) of the messages sent, one entry per message.
QVector<qint64> sentTimesMs(const RhythmRig &rig)
{
    QVector<qint64> times;
    for (const auto &s : rig.t.midi.sent)
        times << (s.dueNs - kT0) / kMs;
    return times;
}

}  // namespace

void RhythmSequencerTest::startTimingAt90Bpm()
{
    RhythmRig rig;
    everyStep(rig);
    QCOMPARE(rig.t.state.EighthBeatMs, qint16(83));
    rig.sequencer.setBzQd(true);
    QVERIFY(rig.sequencer.BzQd());
    QCOMPARE(rig.sequencer.BzQdCaption(), QString("停止"));
    QCOMPARE(rig.t.choices.count(), 1);
    QCOMPARE(rig.sequencer.BZDS().interval(), 166);
    // Step 0 at once, stamped with the start's time.
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages({drum(35, 100)}));
    QCOMPARE(rig.t.midi.sent[0].dueNs, kT0);
    QCOMPARE(rig.t.state.StepIndex, qint16(0));

    rig.t.clock.advanceMs(166);
    rig.t.clock.advanceMs(166);
    QCOMPARE(formatMessages(rig.t.sent()),
             formatMessages({drum(35, 100), drum(35, 100), drum(35, 100), drum(38, 100)}));
    QCOMPARE(sentTimesMs(rig), QVector<qint64>({0, 166, 332, 332}));
    QCOMPARE(rig.t.state.StepIndex, qint16(2));
}

void RhythmSequencerTest::stopKeepsStepAndStartsAtZero()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.setBzQd(true);
    rig.t.clock.advanceMs(3 * 166);
    QCOMPARE(rig.t.state.StepIndex, qint16(3));

    rig.sequencer.setBzQd(false);
    QCOMPARE(rig.sequencer.BzQdCaption(), QString("启动"));
    QVERIFY(!rig.sequencer.BZDS().isEnabled());
    QCOMPARE(rig.t.choices.count(), 2);
    rig.t.clearSent();
    rig.t.clock.advanceMs(2000);
    QVERIFY(rig.t.sent().isEmpty());  // no note-off either
    QCOMPARE(rig.t.state.StepIndex, qint16(3));

    rig.sequencer.setBzQd(true);
    QCOMPARE(rig.t.state.StepIndex, qint16(0));
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages({drum(35, 100)}));
}

void RhythmSequencerTest::settingWhileSetChangesNothing()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.setBzQd(true);
    rig.t.clock.advanceMs(5 * 166);
    const qint64 due = rig.sequencer.BZDS().nextDueNs();
    const int yxyz = rig.t.choices.count();
    rig.t.clearSent();

    rig.sequencer.setBzQd(true);
    QVERIFY(rig.t.sent().isEmpty());
    QCOMPARE(rig.t.state.StepIndex, qint16(5));
    QCOMPARE(rig.sequencer.BZDS().nextDueNs(), due);
    QCOMPARE(rig.t.choices.count(), yxyz);

    rig.sequencer.setBzQd(false);
    rig.sequencer.setBzQd(false);
    QCOMPARE(rig.t.choices.count(), yxyz + 1);
}

void RhythmSequencerTest::wrapsAfterLastStep()
{
    // 3/4: fifteen steps, 14 is followed by 0.
    RhythmRig rig;
    rig.applyBuiltIn(4);
    QVector<int> order;
    for (int k = 0; k < 16; ++k) {
        order << rig.t.state.StepIndex;
        rig.sequencer.onBzdsTick();
    }
    QVector<int> want;
    for (int k = 0; k < 16; ++k)
        want << k % 15;
    QCOMPARE(order, want);

    // Before any rhythm is applied the pattern has 17 steps.
    RhythmRig fresh;
    fresh.t.state.StepIndex = 16;
    fresh.sequencer.onBzdsTick();
    QCOMPARE(fresh.t.state.StepIndex, qint16(0));
}

void RhythmSequencerTest::stepIndexOutsideThePattern()
{
    RhythmRig rig;
    rig.applyBuiltIn(7);  // 4/4, LastStep 15; step 0 sounds 35 and 44
    const QString step0 = formatMessages({drum(35, 100), drum(44, 100)});
    // Steps past the pattern that the editor may leave sounding.
    for (int step : {15, 20, 1599}) {
        rig.t.state.Steps.cell(step, 0) = StepCell{-1, 50, 90, drum(50, 90)};
    }
    // Left high by the editor, negative, at the table's end, or past the
    // table: the step is played where the table has it, then the index wraps.
    const struct {
        qint16 start;
        QString sound;
    } cases[] = {{20, formatMessages({drum(50, 90)})}, {-3, QString()},
                 {1599, formatMessages({drum(50, 90)})}, {32767, QString()}};
    for (const auto &c : cases) {
        rig.t.state.StepIndex = c.start;
        rig.t.clearSent();
        rig.sequencer.onBzdsTick();
        QCOMPARE(formatMessages(rig.t.sent()), c.sound);
        QCOMPARE(rig.t.state.StepIndex, qint16(0));
    }
    // The pattern shrinks while the index stands on its old last step: that
    // step still sounds, and 0 comes one step later.
    rig.t.state.StepIndex = 15;
    rig.pattern.SelectTimeSignature(1);  // LastStep 14
    rig.t.clearSent();
    rig.sequencer.RhythmClockTick();  // not running: nothing
    QVERIFY(rig.t.sent().isEmpty());
    rig.sequencer.onBzdsTick();
    QVERIFY(formatMessages(rig.t.sent()) != step0);
    QCOMPARE(rig.t.state.StepIndex, qint16(0));
    rig.t.clearSent();
    rig.sequencer.onBzdsTick();
    QCOMPARE(formatMessages(rig.t.sent()), step0);

    // The rebuild plays the current step as it stands and leaves the index.
    rig.t.state.StepIndex = 20;
    rig.t.clearSent();
    rig.sequencer.Bzfs();
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages({drum(50, 90)}));
    QCOMPARE(rig.t.state.StepIndex, qint16(20));
}

void RhythmSequencerTest::silentStepSendsNothing()
{
    RhythmRig rig;
    rig.applyBuiltIn(1);  // step 1 holds nothing
    StepCell &spare = rig.t.state.Steps.cell(1, 5);
    spare.Sounding = -1;
    spare.Message = drum(50, 90);  // cell 5 is never sounded
    rig.t.state.StepIndex = 1;
    rig.t.clearSent();
    rig.sequencer.onBzdsTick();
    QVERIFY(rig.t.sent().isEmpty());
    QVERIFY(rig.t.dialogs.messages.isEmpty());
    QCOMPARE(rig.t.state.StepIndex, qint16(2));
}

void RhythmSequencerTest::bzfsSilencesCell4()
{
    RhythmRig rig;
    rig.applyBuiltIn(1);
    // The editor's fifth percussion row left sounds in steps 2 and 16.
    for (int step : {2, 16}) {
        rig.t.state.Steps.cell(step, 4).Sounding = -1;
        rig.t.state.Steps.cell(step, 4).Message = drum(50, 90);
    }
    rig.pattern.SetRhythmVolume(7);
    rig.pattern.SetRhythmVolume(5);
    rig.t.state.Steps.cell(2, 2).Velocity = 1;
    rig.t.state.StepIndex = 2;
    rig.t.clearSent();
    rig.sequencer.Bzfs();
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages({drum(37, 100)}));
    QCOMPARE(rig.t.state.Steps.cell(2, 4).Sounding, qint16(0));
    QCOMPARE(rig.t.state.Steps.cell(2, 2).Velocity, qint16(100));
    QCOMPARE(rig.t.state.Steps.cell(16, 4).Sounding, qint16(-1));  // beyond LastStep
    QCOMPARE(rig.t.state.StepIndex, qint16(2));
}

void RhythmSequencerTest::tempoChangeTakesEffectNextTick()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.setBzQd(true);
    rig.t.clock.advanceMs(200);  // one tick at 166
    rig.sequencer.setEighthBeatMs(62);  // 120 beats per minute, counted from the change
    QCOMPARE(rig.sequencer.BZDS().interval(), 124);
    rig.t.clock.advanceMs(400);
    QCOMPARE(sentTimesMs(rig), QVector<qint64>({0, 166, 324, 324, 448, 572}));

    // While stopped the interval is only remembered.
    rig.sequencer.setBzQd(false);
    rig.t.clearSent();
    rig.sequencer.setEighthBeatMs(125);
    rig.t.clock.advanceMs(1000);
    QVERIFY(rig.t.sent().isEmpty());
    QCOMPARE(rig.sequencer.BZDS().interval(), 250);
}

void RhythmSequencerTest::autoSyncHalvesTheSpeed()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.setCheck5(true);  // nothing starts
    rig.t.clock.advanceMs(1000);
    QVERIFY(rig.t.sent().isEmpty());
    rig.sequencer.setCheck5(false);

    rig.t.clock.setNow(kT0);
    rig.sequencer.setBzQd(true);
    rig.t.clock.advanceMs(166);
    rig.sequencer.setCheck5(true);
    QCOMPARE(rig.sequencer.BZDS().interval(), 332);
    rig.t.clock.advanceMs(700);
    QCOMPARE(sentTimesMs(rig), QVector<qint64>({0, 166, 498, 498, 830}));

    // Clearing it stops nothing and keeps the half speed.
    rig.sequencer.setCheck5(false);
    QCOMPARE(rig.sequencer.Check5Caption(), QString("自动同步"));
    QVERIFY(rig.sequencer.BZDS().isTicking());
    QCOMPARE(rig.sequencer.BZDS().interval(), 332);
    // Until the tempo changes.
    rig.sequencer.setEighthBeatMs(83);
    QCOMPARE(rig.sequencer.BZDS().interval(), 166);
}

void RhythmSequencerTest::clockTickTakesOver()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.RhythmClockTick();  // neither BzQd nor Check5
    QVERIFY(rig.t.sent().isEmpty());
    QCOMPARE(rig.t.state.StepIndex, qint16(0));

    // Start of automatic playing with auto-sync: start, then the clock drives.
    rig.sequencer.setCheck5(true);
    rig.t.state.StepIndex = 0;
    rig.sequencer.setBzQd(true);
    rig.sequencer.BZDS().setEnabled(false);
    rig.sequencer.RhythmClockTick();
    rig.sequencer.RhythmClockTick();
    QCOMPARE(formatMessages(rig.t.sent()),
             formatMessages({drum(35, 100), drum(35, 100), drum(35, 100), drum(38, 100)}));
    QCOMPARE(rig.t.state.StepIndex, qint16(2));

    // Clearing BzQd does not stop it while Check5 is set.
    rig.sequencer.setBzQd(false);
    rig.sequencer.RhythmClockTick();
    QCOMPARE(rig.t.state.StepIndex, qint16(3));

    // A rhythm on its own timer is taken over: the timer stops.
    RhythmRig own;
    everyStep(own);
    own.sequencer.setBzQd(true);
    own.sequencer.RhythmClockTick();
    QVERIFY(!own.sequencer.BZDS().isEnabled());
    own.t.clearSent();
    own.t.clock.advanceMs(1000);
    QVERIFY(own.t.sent().isEmpty());
}

void RhythmSequencerTest::keypad0WithNoRhythm()
{
    RhythmRig rig;
    rig.applyBuiltIn(3);
    rig.t.clearSent();
    const QString before = patternSnapshot(rig.pattern, rig.t.state);
    rig.t.state.LastKeyCode = 96;
    rig.sequencer.ZDJP();
    QCOMPARE(rig.t.window.XSWB(), QString("停止软件自带节奏"));
    QVERIFY(rig.t.sent().isEmpty());
    QVERIFY(!rig.sequencer.BzQd());
    QCOMPARE(rig.t.choices.count(), 0);
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);

    // Codes around the keypad digits are not rhythm keys.
    rig.t.window.setXSWB("x");
    for (int code : {95, 106, 48, 0}) {
        rig.t.state.LastKeyCode = qint16(code);
        rig.sequencer.ZDJP();
    }
    QCOMPARE(rig.t.window.XSWB(), QString("x"));
    QVERIFY(!rig.sequencer.BzQd());
}

void RhythmSequencerTest::keypad4SwitchesWithoutRestart()
{
    RhythmRig rig;
    rig.t.clock.setNow(kT0);
    rig.t.state.LastKeyCode = 97;
    rig.sequencer.ZDJP();
    QCOMPARE(rig.t.window.XSWB(), QString("启动软件自带2/4节奏1"));
    QVERIFY(rig.sequencer.BzQd());
    rig.t.clock.advanceMs(10 * 166);
    QCOMPARE(rig.t.state.StepIndex, qint16(10));
    const qint64 due = rig.sequencer.BZDS().nextDueNs();

    rig.t.state.LastKeyCode = 100;
    rig.sequencer.ZDJP();
    QCOMPARE(rig.t.window.XSWB(), QString("启动软件自带3/4节奏1"));
    QCOMPARE(rig.pattern.LastStep(), qint16(14));
    QCOMPARE(rig.t.state.StepIndex, qint16(10));
    QCOMPARE(rig.sequencer.BZDS().nextDueNs(), due);

    QVector<int> order;
    for (int k = 0; k < 6; ++k) {
        rig.t.clock.advanceMs(166);
        order << rig.t.state.StepIndex;
    }
    QCOMPARE(order, QVector<int>({11, 12, 13, 14, 0, 1}));

    // Keypad 0 stops it.
    rig.t.state.LastKeyCode = 96;
    rig.sequencer.ZDJP();
    QVERIFY(!rig.sequencer.BzQd());
    QVERIFY(!rig.sequencer.BZDS().isEnabled());
}

void RhythmSequencerTest::failedSendIsReportedAndPlayingGoesOn()
{
    RhythmRig rig;
    everyStep(rig);
    rig.sequencer.setBzQd(true);
    rig.t.midi.sendResult = MidiError::NoDevice;
    rig.t.clock.advanceMs(3 * 166);
    QCOMPARE(rig.t.dialogs.messages.size(), 3);
    QCOMPARE(rig.t.state.StepIndex, qint16(3));
    QVERIFY(rig.sequencer.BZDS().isTicking());
}
