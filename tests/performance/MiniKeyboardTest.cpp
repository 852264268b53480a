#include "PerformanceTests.h"
#include "PerformanceRig.h"

#include "performance/KeyTable.h"
#include "performance/MiniKeyboard.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {
constexpr int A = 0x41, S = 0x53, B = 0x42, N = 0x4E, SPACE = 32, BACKSPACE = 8, F1 = 0x70;

Msgs offs(int note)
{
    return {R::noteOff(0, note), R::noteOff(1, note), R::noteOff(2, note)};
}
Msgs ons(int note)
{
    return {R::noteOn(0, note, 70), R::noteOn(1, note, 70), R::noteOn(2, note, 70)};
}

// The main window's performance at its start-up defaults, then the mini
// window opened on the same session, its messages so far cleared.
struct MiniRig {
    PerformanceRig main;
    WindowDisplay &mainDisplay = main.t.window;
    MiniKeyboard mini{main.t.ctx, main.t.window};
    SharedState &s = main.t.state;

    MiniRig(bool open = true)
    {
        if (open) {
            mini.activate();
            main.t.clearSent();
        }
    }
    void press(int key) { mini.keyPressed(key); }
    // n periods of Timer1 pass on the clock.
    void wait(int ticks) { main.t.clock.advanceMs(qint64(ticks) * s.EighthBeatMs); }
    Msgs sent() const { return main.t.sent(); }
};
}  // namespace

void MiniKeyboardTest::openingResetsScoreAndInstruments()
{
    MiniRig rig(false);
    // The main window has other instruments and a score.
    rig.main.voices.selectInstrument(0, 1);
    rig.main.voices.selectInstrument(1, 0);
    rig.main.voices.selectTempo(0);  // 60 beats: 125 ms
    rig.main.press(A);
    rig.mini.strike(30);
    rig.main.t.clearSent();
    QSignalSpy focus(&rig.mini, &MiniKeyboard::choiceMade);
    rig.mini.activate();
    QVERIFY(rig.s.ScoreText.isEmpty());
    QCOMPARE(rig.main.t.midi.messagesOfKind(0xC0), (Msgs{R::program(0, 14), R::program(1, 51), R::program(2, 78)}));
    QCOMPARE(rig.s.VoiceInstrument[0], qint16(15));
    QCOMPARE(rig.s.VoiceInstrument[1], qint16(52));
    QCOMPARE(rig.s.VoiceInstrument[2], qint16(79));
    QCOMPARE(rig.mini.timer1().interval(), 125);
    QVERIFY(!rig.mini.timer1().isEnabled());
    QCOMPARE(focus.count(), 1);
    // Every box up in its own colour.
    for (int o = 0; o < MiniKeyboard::kBoxes; ++o)
        QCOMPARE(rig.mini.boxColour(o), KeyTable::isBlackKey(o) ? MiniKeyboard::kBlackUp : MiniKeyboard::kWhiteUp);
    // The voices sound on all three channels although the main list says silent.
    rig.press(A);
    QCOMPARE(rig.main.noteOns().size(), 3);
}

void MiniKeyboardTest::durationsAndHandBack()
{
    MiniRig rig;
    QSignalSpy back(&rig.mini, &MiniKeyboard::handedBack);
    rig.press(A);
    rig.wait(10);
    rig.press(S);
    rig.wait(3);
    // The box's score no file holds is handed to be kept before it goes.
    QStringList replaced;
    rig.mini.keepReplacedScore = [&](const QString &old) { replaced << old; };
    rig.mainDisplay.setText3("KC4KB8TZ");
    rig.mini.handBack();
    QCOMPARE(replaced, QStringList{"KC4KB8TZ"});
    // The last note's duration is written only by the next key.
    QCOMPARE(rig.mainDisplay.Text3(), QString("KC10KD"));
    rig.mainDisplay.markText3Kept();
    rig.mini.handBack();
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(back.count(), 2);
    // Timer1 keeps counting after the hand-back, up to the 100th tick.
    QVERIFY(rig.mini.timer1().isEnabled());
    rig.main.t.clearSent();
    rig.wait(96);
    QCOMPARE(rig.s.ScoreText, QString("KC10KD"));
    rig.wait(1);
    QCOMPARE(rig.s.ScoreText, QString("KC10KD99TZ"));
    QVERIFY(!rig.mini.timer1().isEnabled());
    QCOMPARE(rig.sent(), offs(62));
    QCOMPARE(rig.mainDisplay.Text3(), QString("KC10KD"));  // the box was filled before
}

void MiniKeyboardTest::keysOfTheMiniWindow_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("score");
    QTest::addColumn<int>("noteOns");
    QTest::newRow("B and N") << QList<int>{B, N} << "HG0HA" << 6;
    QTest::newRow("space first") << QList<int>{SPACE} << "0TZ" << 0;
    QTest::newRow("space after a note") << QList<int>{A, SPACE} << "KC0TZ" << 3;
    QTest::newRow("backspace first") << QList<int>{BACKSPACE} << "XZ" << 0;
    QTest::newRow("backspace after a note") << QList<int>{A, BACKSPACE, S} << "KC0XZ0KD" << 6;
    QTest::newRow("backslash") << QList<int>{0xDC} << "" << 0;
    // Chord, effect and rhythm keys, Tab, Enter, letters without notes.
    QTest::newRow("other keys") << QList<int>{0x49, 0x50, 0x60, 0x65, 9, 13, 0x1B, 0x2E, 0x7C, 0xBC} << "" << 0;
}

void MiniKeyboardTest::keysOfTheMiniWindow()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, score);
    QFETCH(int, noteOns);
    MiniRig rig;
    const int choicesBefore = rig.main.t.choices.count();
    for (int k : keys)
        rig.press(k);
    QCOMPARE(rig.s.ScoreText, score);
    QCOMPARE(rig.main.noteOns().size(), noteOns);
    QCOMPARE(int(rig.s.LastKeyCode), keys.last());
    QCOMPARE(rig.main.t.choices.count(), choicesBefore);  // no main-window focus return
}

void MiniKeyboardTest::notesAndBoxes()
{
    MiniRig rig;
    rig.press(B);
    QCOMPARE(rig.sent(), offs(36) + ons(79));
    QCOMPARE(rig.mini.boxColour(43), MiniKeyboard::kWhitePressed);
    rig.main.t.clearSent();
    rig.press(N);
    QCOMPARE(rig.sent(), offs(79) + ons(81));
    QCOMPARE(rig.mini.boxColour(43), MiniKeyboard::kWhiteUp);
    QCOMPARE(rig.mini.boxColour(45), MiniKeyboard::kWhitePressed);
    QCOMPARE(int(rig.s.LastNoteOffset), 45);
    rig.press(SPACE);
    QCOMPARE(rig.mini.boxColour(45), MiniKeyboard::kWhiteUp);
    QVERIFY(!rig.mini.timer1().isEnabled());
    QVERIFY(hangingMelodyNotes(rig.sent()).isEmpty());
}

void MiniKeyboardTest::combinationsWithoutMessages()
{
    MiniRig rig;
    QSignalSpy focus(&rig.mini, &MiniKeyboard::choiceMade);
    rig.press(F1);
    QCOMPARE(rig.s.VoiceInstrument[0], qint16(3));
    QCOMPARE(rig.s.VoiceInstrument[1], qint16(0));
    QCOMPARE(rig.s.VoiceInstrument[2], qint16(0));
    QCOMPARE(rig.main.t.midi.messagesOfKind(0xC0), Msgs{R::program(0, 2)});
    QVERIFY(rig.main.t.window.XSWB().isEmpty());
    QCOMPARE(rig.main.voices.instrumentPosition(0), 15);  // the main lists stay
    QCOMPARE(focus.count(), 0);
    // Keys and mouse now sound on channel 0 only.
    rig.main.t.clearSent();
    rig.press(A);
    QCOMPARE(rig.main.noteOns(), Msgs{R::noteOn(0, 60, 70)});
    rig.main.t.clearSent();
    rig.mini.pianoPressed(31);
    QCOMPARE(rig.sent(), offs(60) + Msgs{R::noteOn(0, 67, 70)});
    QCOMPARE(rig.s.ScoreText, QString("KC"));
}

void MiniKeyboardTest::mouseStrikes()
{
    MiniRig rig;
    rig.press(A);
    rig.main.t.clearSent();
    // A black box pressed with the mouse: grey 127, the key's box goes up.
    rig.mini.pianoPressed(25);
    QCOMPARE(rig.sent(), offs(60) + ons(61));
    QCOMPARE(rig.mini.boxColour(25), MiniKeyboard::kBlackPressed);
    QCOMPARE(rig.mini.boxColour(24), MiniKeyboard::kWhiteUp);
    // Every drag-over strikes again, also on the same box; nothing is written.
    rig.mini.pianoMovedTo(25);
    rig.mini.pianoMovedTo(26);
    QCOMPARE(rig.main.noteOns().size(), 9);
    QCOMPARE(rig.mini.boxColour(25), MiniKeyboard::kBlackUp);
    QCOMPARE(rig.mini.boxColour(26), MiniKeyboard::kWhitePressed);
    rig.mini.pianoMovedTo(-1);
    rig.mini.pianoMovedTo(65);
    rig.mini.pianoReleased();
    QCOMPARE(rig.main.noteOns().size(), 9);
    QCOMPARE(rig.s.ScoreText, QString("KC"));
    // No chord channel is touched.
    for (quint32 m : rig.sent())
        QVERIFY((m & 0x0F) <= 2);
    // The mute pad silences, the box stays grey.
    rig.main.t.clearSent();
    rig.mini.mutePadTouched();
    QCOMPARE(rig.sent(), offs(62));
    QCOMPARE(rig.mini.boxColour(26), MiniKeyboard::kWhitePressed);
    QVERIFY(hangingMelodyNotes(rig.main.t.midi.messages()).isEmpty());
}

void MiniKeyboardTest::clearStartsANewPerformance()
{
    MiniRig rig;
    QSignalSpy focus(&rig.mini, &MiniKeyboard::choiceMade);
    rig.press(A);
    rig.wait(4);
    rig.mini.clearClicked();
    QVERIFY(rig.s.ScoreText.isEmpty());
    QCOMPARE(focus.count(), 1);
    rig.press(S);
    QCOMPARE(rig.s.ScoreText, QString("KD"));
}

void MiniKeyboardTest::tickFollowsTheTempoOfActivation()
{
    MiniRig rig(false);
    rig.main.voices.selectTempo(12);  // 120 beats: 62.5 -> 62 ms
    rig.mini.activate();
    QCOMPARE(rig.mini.timer1().interval(), 62);
    rig.press(A);
    rig.main.t.clock.advanceMs(62 * 5 + 10);
    rig.press(S);
    QCOMPARE(rig.s.ScoreText, QString("KC5KD"));
}
