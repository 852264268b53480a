#include "PerformanceTests.h"
#include "PerformanceRig.h"

#include "resources/StringTable.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {
constexpr int A = 0x41, S = 0x53, D = 0x44, SPACE = 32, BACKSPACE = 8;

Msgs offs(int note, int firstChannel = 0)
{
    Msgs m;
    for (int c = firstChannel; c < firstChannel + 3; ++c)
        m << R::noteOff(c, note);
    return m;
}
Msgs ons(int note, int velocity = 70)
{
    return {R::noteOn(0, note, velocity), R::noteOn(1, note, velocity), R::noteOn(2, note, velocity)};
}
}  // namespace

void KeyboardEngineTest::firstNote()
{
    PerformanceRig rig;
    int playingCleared = 0;
    rig.partners.onClearScorePlaying = [&] { ++playingCleared; };
    rig.press(A);
    const SharedState &s = rig.t.state;
    QCOMPARE(s.ScoreText, QString("KC"));
    QCOMPARE(rig.t.window.Text3(), QString("KC"));
    QCOMPARE(rig.t.window.XSWB(), StringTable::text(415));
    QCOMPARE(int(s.LastKeyCode), A);
    QCOMPARE(int(s.CurrentNoteOffset), 24);
    QCOMPARE(int(s.LastNoteOffset), 24);
    QCOMPARE(int(s.DurationCount), 0);
    QVERIFY(rig.engine.timer1().isTicking());
    QCOMPARE(rig.engine.timer1().interval(), 80);
    QCOMPARE(rig.engine.timer1().objectName(), QString("Timer1"));
    QCOMPARE(playingCleared, 1);
    // The previous note (offset 0 at start) stops first, then 60 sounds.
    QCOMPARE(rig.sent(), offs(36) + ons(60));
    QCOMPARE(rig.keys.picture(24), 103);
}

void KeyboardEngineTest::durationsBetweenKeys()
{
    PerformanceRig rig;
    rig.press(A);
    rig.press(S);  // within one tick
    QCOMPARE(rig.t.state.ScoreText, QString("KC0KD"));
    QCOMPARE(rig.sent().mid(6), offs(60) + ons(62));
    QCOMPARE(rig.keys.picture(24), 102);
    QCOMPARE(rig.keys.picture(26), 103);

    // The recorded example: keys 400 ms apart, then Space.
    PerformanceRig timed;
    timed.press(A);
    timed.t.clock.advanceMs(400);
    timed.press(S);
    QCOMPARE(timed.t.state.ScoreText, QString("KC5KD"));
    timed.t.clock.advanceMs(400);
    timed.press(D);
    QCOMPARE(timed.t.state.ScoreText, QString("KC5KD5KE"));
    timed.t.clock.advanceMs(400);
    timed.press(SPACE);
    QCOMPARE(timed.t.state.ScoreText, QString("KC5KD5KE5TZ"));
    QCOMPARE(timed.t.window.Text3(), QString("KC5KD5KE5TZ"));
    // Stopped: no more ticks.
    QVERIFY(!timed.engine.timer1().isTicking());
    QCOMPARE(timed.t.clock.run(timed.t.clock.nowNs() + 2000000000LL), 0);
}

void KeyboardEngineTest::durationCountsFromTheKeyPress()
{
    PerformanceRig rig;
    rig.press(A);
    rig.t.clock.advanceMs(70);
    rig.press(S);  // 10 ms before A's first tick would have come
    rig.t.clock.advanceMs(79);
    QCOMPARE(int(rig.t.state.DurationCount), 0);
    rig.t.clock.advanceMs(1);
    QCOMPARE(int(rig.t.state.DurationCount), 1);
    rig.t.clock.advanceMs(20);
    rig.press(BACKSPACE);
    rig.t.clock.advanceMs(79);
    QCOMPARE(int(rig.t.state.DurationCount), 0);
    rig.t.clock.advanceMs(1);
    QCOMPARE(int(rig.t.state.DurationCount), 1);
    QCOMPARE(rig.t.state.ScoreText, QString("KC0KD1XZ"));
}

void KeyboardEngineTest::heldNoteEndsAfterHundredTicks()
{
    PerformanceRig rig;
    rig.t.state.SoundingChordNotes = {24, 28, 31};  // left by the score player
    rig.press(A);
    rig.t.clearSent();
    rig.ticks(99);
    QCOMPARE(int(rig.t.state.DurationCount), 99);
    QCOMPARE(rig.t.state.ScoreText, QString("KC"));
    QVERIFY(rig.sent().isEmpty());
    rig.ticks(1);
    QCOMPARE(int(rig.t.state.DurationCount), 99);
    QCOMPARE(rig.t.state.ScoreText, QString("KC99TZ"));
    QCOMPARE(rig.t.window.Text3(), QString("KC99TZ"));
    QVERIFY(!rig.engine.timer1().isTicking());
    // The melody note and the score's chord notes stop.
    QCOMPARE(rig.sent(), offs(60) + (Msgs{R::noteOff(3, 60), R::noteOff(4, 64), R::noteOff(5, 67)}));
    rig.press(S);
    QCOMPARE(rig.t.state.ScoreText, QString("KC99TZ99KD"));

    // The same through the timer itself: 8 s of holding.
    PerformanceRig timed;
    timed.press(A);
    timed.t.clock.advanceMs(99 * 80);
    QCOMPARE(timed.t.state.ScoreText, QString("KC"));
    timed.t.clock.advanceMs(80);
    QCOMPARE(timed.t.state.ScoreText, QString("KC99TZ"));
    timed.t.clock.advanceMs(10000);
    QCOMPARE(timed.t.state.ScoreText, QString("KC99TZ"));

    // A score emptied meanwhile (the score box's clear button) still gets 99TZ.
    PerformanceRig cleared;
    cleared.press(A);
    cleared.t.state.ScoreText.clear();
    cleared.ticks(100);
    QCOMPARE(cleared.t.state.ScoreText, QString("99TZ"));
}

void KeyboardEngineTest::rests()
{
    PerformanceRig first;
    first.press(BACKSPACE);
    QCOMPARE(first.t.state.ScoreText, QString("XZ"));
    QCOMPARE(first.t.window.Text3(), QString("XZ"));
    QCOMPARE(first.t.window.XSWB(), StringTable::text(401));
    QCOMPARE(first.sent(), offs(36));
    QVERIFY(first.engine.timer1().isTicking());

    PerformanceRig rig;
    int playingCleared = 0;
    rig.partners.onClearScorePlaying = [&] { ++playingCleared; };
    rig.press(A);
    rig.ticks(5);
    rig.t.clearSent();
    rig.press(BACKSPACE);
    QCOMPARE(rig.sent(), offs(60));
    // The last key stays drawn pressed and remains the last note.
    QCOMPARE(rig.keys.picture(24), 103);
    QCOMPARE(int(rig.t.state.LastNoteOffset), 24);
    rig.ticks(4);
    rig.press(S);
    QCOMPARE(rig.t.state.ScoreText, QString("KC5XZ4KD"));
    QCOMPARE(playingCleared, 2);  // the two notes, not the rest
}

void KeyboardEngineTest::stops()
{
    PerformanceRig empty;
    int bzqd = 0, caption = 0, playing = 0;
    empty.partners.onStopRhythm = [&] { ++bzqd; };
    empty.partners.onResetPlayCaption = [&] { ++caption; };
    empty.partners.onClearScorePlaying = [&] { ++playing; };
    empty.press(SPACE);
    QCOMPARE(empty.t.state.ScoreText, QString());
    QCOMPARE(empty.t.window.Text3(), QString());
    QCOMPARE(empty.sent(), offs(36));
    QCOMPARE(bzqd, 1);
    QCOMPARE(caption, 1);
    QCOMPARE(playing, 1);
    QVERIFY(!empty.engine.timer1().isTicking());

    PerformanceRig rig;
    rig.press(A);
    rig.ticks(5);
    rig.press(SPACE);
    QCOMPARE(rig.keys.picture(24), 102);
    rig.press(SPACE);
    QCOMPARE(rig.t.state.ScoreText, QString("KC5TZ5TZ"));
    // Count and last note are kept: the next note writes the count again.
    QCOMPARE(int(rig.t.state.LastNoteOffset), 24);
    rig.t.clearSent();
    rig.press(S);
    QCOMPARE(rig.t.state.ScoreText, QString("KC5TZ5TZ5KD"));
    QCOMPARE(rig.sent().mid(0, 3), offs(60));
}

void KeyboardEngineTest::instrumentCombinationF5()
{
    PerformanceRig rig;
    rig.press(A);
    rig.t.clearSent();
    const QString score = rig.t.state.ScoreText;
    const int yxyz = rig.t.choices.count();
    rig.press(0x74);  // F5
    QCOMPARE(rig.voices.instrumentPosition(0), 83);
    QCOMPARE(rig.voices.instrumentPosition(1), 86);
    QCOMPARE(rig.voices.instrumentPosition(2), 101);
    QCOMPARE(rig.t.state.VoiceInstrument, (std::array<qint16, kVoiceSlots>{82, 85, 100}));
    const Msgs programs{R::program(0, 82), R::program(0, 82), R::program(1, 85),
                        R::program(1, 85), R::program(2, 100), R::program(2, 100)};
    QCOMPARE(rig.t.midi.messagesOfKind(0xC0), programs);
    QCOMPARE(rig.t.midi.messagesOfKind(0xB0).size(), 6);
    QVERIFY(rig.noteOns().isEmpty());
    QVERIFY(rig.noteOffs().isEmpty());
    QCOMPARE(rig.t.window.XSWB(), QString("你已经选择了\r\n       乐器组合五"));
    QCOMPARE(rig.t.choices.count(), yxyz + 1);
    QCOMPARE(rig.t.state.ScoreText, score);
    QCOMPARE(int(rig.t.state.LastKeyCode), 0x74);
    rig.press(0x7B);
    QCOMPARE(rig.t.window.XSWB(), QString("你已经选择了\r\n       乐器组合十二"));
}

void KeyboardEngineTest::combinationF1LeavesOneVoice()
{
    PerformanceRig rig;
    rig.press(A);
    rig.t.clearSent();
    rig.press(0x70);
    // Voices 2 and 3 fall silent at once; voice 1 gets program 2 twice.
    QCOMPARE(rig.t.midi.messagesOfKind(0xC0), (Msgs{R::program(0, 2), R::program(0, 2)}));
    QCOMPARE(rig.noteOffs(), (Msgs{R::noteOff(1, 60), R::noteOff(2, 60)}));
    QCOMPARE(rig.t.state.VoiceInstrument, (std::array<qint16, kVoiceSlots>{2, 0, 0}));
    rig.t.clearSent();
    rig.press(S);
    QCOMPARE(rig.noteOns(), Msgs{R::noteOn(0, 62, 70)});
}

void KeyboardEngineTest::handEditsOfScoreBoxAreReplaced()
{
    PerformanceRig rig;
    rig.press(A);
    rig.t.window.setText3(QStringLiteral("KC8KD8TZ typed by hand"));
    QCOMPARE(rig.t.state.ScoreText, QString("KC"));
    rig.press(S);
    QCOMPARE(rig.t.window.Text3(), QString("KC0KD"));
    rig.t.window.setText3(QStringLiteral("edited"));
    rig.press(BACKSPACE);
    QCOMPARE(rig.t.window.Text3(), QString("KC0KD0XZ"));
    rig.t.window.setText3(QStringLiteral("edited"));
    rig.press(SPACE);
    QCOMPARE(rig.t.window.Text3(), QString("KC0KD0XZ0TZ"));
}

void KeyboardEngineTest::highOctaveAndSpecialKeys()
{
    PerformanceRig rig;
    for (int k : {0x43, 0x56, 0x42, 0x4E, 0x4D})
        rig.press(k);
    QCOMPARE(rig.t.state.ScoreText, QString("HE0HF0HG0HA0HB"));
    QCOMPARE(rig.noteOns().mid(12), ons(83));  // KeyBase 36 + 47
    rig.press(0xBB);
    QCOMPARE(rig.t.window.XSWB(), StringTable::text(433));
    QCOMPARE(rig.noteOns().last(), R::noteOn(2, 91, 70));
    rig.press(0xDC);
    QCOMPARE(rig.t.window.XSWB(), StringTable::text(433));
    QCOMPARE(rig.noteOns().last(), R::noteOn(2, 93, 70));
    QVERIFY(rig.t.state.ScoreText.endsWith(QLatin1String("0MG0MA")));
    // In the key of B everything is 11 semitones higher.
    rig.voices.selectKey(11);
    rig.press(0x31);
    QCOMPARE(rig.noteOns().last(), R::noteOn(2, 47, 70));
    rig.press(0xDC);
    QCOMPARE(rig.noteOns().last(), R::noteOn(2, 104, 70));
}

void KeyboardEngineTest::sameKeyPressedAgainIsANewPress()
{
    // Released and struck again (auto-repeats never reach the engine: the
    // keyboard button drops them).
    PerformanceRig rig;
    rig.press(A);
    rig.press(A);
    rig.ticks(2);
    rig.press(A);
    QCOMPARE(rig.t.state.ScoreText, QString("KC0KC2KC"));
    QCOMPARE(rig.sent().mid(6), offs(60) + ons(60) + offs(60) + ons(60));
    QCOMPARE(rig.keys.picture(24), 103);
}

void KeyboardEngineTest::handedOnKeys()
{
    PerformanceRig rig;
    QList<int> chords, effects, rhythms;
    rig.partners.onHXQD = [&] { chords << rig.t.state.LastKeyCode; };
    rig.partners.onTSYX = [&] { effects << rig.t.state.LastKeyCode; };
    rig.partners.onZDJP = [&] { rhythms << rig.t.state.LastKeyCode; };
    int playing = 0;
    rig.partners.onClearScorePlaying = [&] { ++playing; };
    const QList<int> chordKeys{0x49, 0x4B, 0x4C, 0x4F, 0xBC, 0xBE};
    const QList<int> effectKeys{0x50, 0xBA, 0xBF, 0xDB, 0xDD, 0xDE};
    for (int k : chordKeys + effectKeys)
        rig.press(k);
    for (int k = 0x60; k <= 0x69; ++k)
        rig.press(k);
    // Each hook sees its own key code, set before it runs.
    QCOMPARE(chords, chordKeys);
    QCOMPARE(effects, effectKeys);
    QCOMPARE(rhythms.size(), 10);
    QCOMPARE(rhythms.first(), 0x60);
    QCOMPARE(rhythms.last(), 0x69);
    // Handed on and nothing else: no score, no notes, no duration tick.
    QVERIFY(rig.t.state.ScoreText.isEmpty());
    QVERIFY(rig.sent().isEmpty());
    QVERIFY(!rig.engine.timer1().isTicking());
    QCOMPARE(playing, 0);
    QVERIFY(rig.t.window.XSWB().isEmpty());
}

void KeyboardEngineTest::otherKeysDoNothing()
{
    PerformanceRig rig;  // hooks left empty
    for (int k : {0x49, 0x50, 0x61, 0xC0, 9, 13, 27, 0x7C, 0, -5, 0xFFFF}) {
        rig.press(k);
        QCOMPARE(int(rig.t.state.LastKeyCode), int(qint16(k)));
    }
    QVERIFY(rig.t.state.ScoreText.isEmpty());
    QVERIFY(rig.sent().isEmpty());
    QVERIFY(rig.t.window.XSWB().isEmpty());
}

void KeyboardEngineTest::focusAndClick()
{
    PerformanceRig rig;
    QVERIFY(rig.keys.keysEnabled());
    rig.engine.focusLost();
    QVERIFY(!rig.keys.keysEnabled());
    QVERIFY(!rig.keys.mutePadVisible());
    rig.engine.focusGained();
    QVERIFY(rig.keys.keysEnabled());
    QVERIFY(rig.keys.mutePadVisible());
    QSignalSpy spy(&rig.engine, &KeyboardEngine::focusRequested);
    rig.engine.buttonClicked();
    QCOMPARE(rig.t.window.FJWZ(), QString("现在允许演奏。。。"));
    QCOMPARE(spy.count(), 1);
}

void KeyboardEngineTest::mouseNoteThenComputerKey()
{
    PerformanceRig rig;
    rig.keys.strike(1);
    QCOMPARE(rig.keys.picture(1), 105);
    rig.press(0x32);  // offset 2
    QCOMPARE(rig.keys.picture(1), 104);
    QCOMPARE(rig.keys.picture(2), 103);
    // The mouse note is stopped and not written.
    QVERIFY(rig.noteOffs().contains(R::noteOff(0, 37)));
    QCOMPARE(rig.t.state.ScoreText, QString("LD"));
    // Space draws the last key up in its own colour, even a black one.
    rig.keys.strike(3);
    rig.press(SPACE);
    QCOMPARE(rig.keys.picture(3), 104);
}
