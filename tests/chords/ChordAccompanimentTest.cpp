#include "ChordAccompanimentTest.h"

#include "TestContext.h"

#include "chords/ChordAccompaniment.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

constexpr qint16 kKeyI = 73, kKeyO = 79;

Msgs chordOn(int keyBase, const ChordTriad &notes, int velocity = 70)
{
    return {R::noteOn(3, keyBase + notes[0], velocity), R::noteOn(4, keyBase + notes[1], velocity),
            R::noteOn(5, keyBase + notes[2], velocity)};
}

Msgs chordOff(int keyBase, const ChordTriad &notes)
{
    return {R::noteOff(3, keyBase + notes[0]), R::noteOff(4, keyBase + notes[1]),
            R::noteOff(5, keyBase + notes[2])};
}

// Note-ons of channels 3..5 that no later note-off of the same channel and
// number stops: the notes left sounding.
Msgs hangingChordNotes(const Msgs &log)
{
    Msgs hanging;
    for (int i = 0; i < log.size(); ++i) {
        const quint32 m = log[i];
        const quint32 status = m & 0xFF;
        const quint32 velocity = (m >> 16) & 0xFF;
        if (status < 0x93 || status > 0x95 || velocity == 0)
            continue;
        const quint32 off = R::noteOff(int(status - 0x90), int((m >> 8) & 0xFF));
        bool stopped = false;
        for (int j = i + 1; j < log.size() && !stopped; ++j)
            stopped = log[j] == off;
        if (!stopped)
            hanging << m;
    }
    return hanging;
}

void pressKey(TestContext &t, ChordAccompaniment &chords, qint16 keyCode)
{
    t.state.LastKeyCode = keyCode;
    chords.HXQD();
}

}  // namespace

void ChordAccompanimentTest::startState()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    QCOMPARE(chords.chosenOption(), 10);
    QCOMPARE(chords.ChordNotes(), (ChordTriad{0, 0, 0}));
    QVERIFY(chords.startEnabled());
    QVERIFY(!chords.HXYS().isEnabled());
    QCOMPARE(chords.HXYS().interval(), 1000);
    QCOMPARE(chords.instrumentPosition(0), -1);
    QCOMPARE(chords.volumePosition(), -1);
    QVERIFY(t.sent().isEmpty());
}

void ChordAccompanimentTest::startButtonBeforeAnyChord()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    chords.pressStart();
    QCOMPARE(t.sent(), chordOn(36, {0, 0, 0}));
    QVERIFY(!chords.startEnabled());
    QVERIFY(chords.testSounding());
    QCOMPARE(t.choices.count(), 1);

    t.clock.advanceMs(999);
    QCOMPARE(t.sent().size(), 3);
    t.clock.advanceMs(1);
    QCOMPARE(t.sent().mid(3), chordOff(36, {0, 0, 0}));
    QVERIFY(chords.startEnabled());
    QVERIFY(!chords.testSounding());
    QCOMPARE(t.choices.count(), 2);
    // The end is stamped one second after the strike.
    QCOMPARE(t.midi.sent.last().dueNs, qint64(1000) * 1000000);

    t.clock.advanceMs(5000);
    QCOMPARE(t.sent().size(), 6);  // one test, one end
}

void ChordAccompanimentTest::choosingChordWhileTestSounds()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    chords.chooseOption(0);
    chords.pressStart();
    t.clearSent();

    chords.chooseOption(1);  // the test chord stops at once
    QCOMPARE(t.sent(), chordOff(36, {24, 28, 31}));
    QCOMPARE(chords.ChordNotes(), (ChordTriad{26, 29, 33}));
    QCOMPARE(chords.TestChordNotes(), (ChordTriad{24, 28, 31}));

    t.clearSent();
    t.clock.advanceMs(1000);  // the test's end stops the test's notes again
    QCOMPARE(t.sent(), chordOff(36, {24, 28, 31}));
    QVERIFY(chords.startEnabled());
}

void ChordAccompanimentTest::optionsWithoutChordKeepTheLastChord()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    chords.chooseOption(2);
    t.clearSent();
    for (int option = 6; option <= 10; ++option) {
        chords.chooseOption(option);
        QCOMPARE(t.sent(), chordOff(36, {28, 31, 35}));  // silenced, whether sounding or not
        QCOMPARE(chords.ChordNotes(), (ChordTriad{28, 31, 35}));
        t.clearSent();
    }
    chords.pressStart();
    QCOMPARE(t.sent(), chordOn(36, {28, 31, 35}));

    // Choosing the option already chosen is no click; bad indices are ignored.
    t.clearSent();
    chords.chooseOption(10);
    chords.chooseOption(-1);
    chords.chooseOption(11);
    QVERIFY(t.sent().isEmpty());
    QCOMPARE(chords.chosenOption(), 10);
}

void ChordAccompanimentTest::scoreChordTypeChoosesOption()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    QVERIFY(chords.chooseChordType(6));
    QCOMPARE(chords.chosenOption(), 5);
    QCOMPARE(chords.ChordNotes(), (ChordTriad{33, 36, 40}));
    QVERIFY(chords.chooseChordType(1));
    QCOMPARE(chords.ChordNotes(), (ChordTriad{24, 28, 31}));
    t.clearSent();
    QVERIFY(!chords.chooseChordType(0));
    QVERIFY(!chords.chooseChordType(7));
    QVERIFY(!chords.chooseChordType(99));
    QCOMPARE(chords.chosenOption(), 0);
    QVERIFY(t.sent().isEmpty());
    // The score chooses silently: nothing sounds until its next note.
    QVERIFY(chords.chooseChordType(2));
    QVERIFY(t.midi.messagesOfKind(0x90).isEmpty());
    QCOMPARE(t.sent(), chordOff(36, {24, 28, 31}));
}

void ChordAccompanimentTest::chordKeysInTheKeyOfC_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVector<int>>("pitches");
    QTest::newRow("I") << 73 << 0 << "1.3.5" << QVector<int>{60, 64, 67};
    QTest::newRow("O") << 79 << 1 << "2.4.6" << QVector<int>{62, 65, 69};
    QTest::newRow("K") << 75 << 2 << "3.5.7" << QVector<int>{64, 67, 71};
    QTest::newRow("L") << 76 << 3 << "4.6.1" << QVector<int>{65, 69, 72};
    QTest::newRow("comma") << 188 << 4 << "5.7.2" << QVector<int>{67, 71, 74};
    QTest::newRow("full stop") << 190 << 5 << "6.1.3" << QVector<int>{69, 72, 76};
}

void ChordAccompanimentTest::chordKeysInTheKeyOfC()
{
    QFETCH(int, keyCode);
    QFETCH(int, option);
    QFETCH(QString, name);
    QFETCH(QVector<int>, pitches);
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    pressKey(t, chords, qint16(keyCode));
    QCOMPARE(chords.chosenOption(), option);
    QCOMPARE(t.sent().mid(3), (Msgs{R::noteOn(3, pitches[0], 70), R::noteOn(4, pitches[1], 70),
                                    R::noteOn(5, pitches[2], 70)}));
    QCOMPARE(t.window.XSWB(), "和弦音效\r\n         " + name);
    QCOMPARE(ChordAccompaniment::optionCaption(option), QString(name).replace('.', ','));
}

void ChordAccompanimentTest::keyIInD()
{
    TestContext t;
    t.state.KeyBase = 38;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    pressKey(t, chords, kKeyI);
    // Option 10 was chosen: the click silences (0, 0, 0), then the chord sounds.
    QCOMPARE(t.sent(), chordOff(38, {0, 0, 0}) + chordOn(38, {24, 28, 31}));
    QCOMPARE(t.sent().mid(3), (Msgs{R::noteOn(3, 62, 70), R::noteOn(4, 66, 70), R::noteOn(5, 69, 70)}));
    QCOMPARE(t.window.XSWB(), QStringLiteral("和弦音效\r\n         1.3.5"));
}

void ChordAccompanimentTest::otherKeyCodesDoNothing()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    for (qint16 code : {qint16(0), qint16(65), qint16(80), qint16(-1), qint16(32767)}) {
        pressKey(t, chords, code);
        QVERIFY(t.sent().isEmpty());
        QVERIFY(t.window.XSWB().isEmpty());
        QCOMPARE(chords.chosenOption(), 10);
    }
}

void ChordAccompanimentTest::chordKeyPressedTwiceStrikesTwice()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    pressKey(t, chords, kKeyI);
    QCOMPARE(t.midi.messagesOfKind(0x90).size(), 3);
    t.clock.advanceMs(1000);
    t.clearSent();

    // Already chosen: struck, then struck again at once.
    pressKey(t, chords, kKeyI);
    const Msgs on = chordOn(36, {24, 28, 31});
    QCOMPARE(t.sent(), on + chordOff(36, {24, 28, 31}) + on);
    QVERIFY(!chords.startEnabled());
    t.clock.advanceMs(1000);
    QCOMPARE(t.sent().mid(9), chordOff(36, {24, 28, 31}));
    QVERIFY(hangingChordNotes(t.sent()).isEmpty());
}

void ChordAccompanimentTest::chordKeyDuringTestStrikesAtOnce()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    pressKey(t, chords, kKeyI);
    t.clock.advanceMs(500);
    t.clearSent();

    pressKey(t, chords, kKeyO);
    // The click stops chord I; the new test sounds O at once with no second stop.
    QCOMPARE(t.sent(), chordOff(36, {24, 28, 31}) + chordOn(36, {26, 29, 33}));
    QCOMPARE(chords.TestChordNotes(), (ChordTriad{26, 29, 33}));

    // The second runs from the new strike, not from the first.
    t.clock.advanceMs(999);
    QCOMPARE(t.sent().size(), 6);
    QVERIFY(chords.testSounding());
    t.clock.advanceMs(1);
    QCOMPARE(t.sent().mid(6), chordOff(36, {26, 29, 33}));
    QVERIFY(chords.startEnabled());
}

void ChordAccompanimentTest::instrumentLists()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    QCOMPARE(ChordAccompaniment::instrumentEntries().size(), 129);
    QCOMPARE(ChordAccompaniment::instrumentEntries().at(25), QStringLiteral("25.尼龙弦吉它"));

    QSignalSpy spy(&chords, &ChordAccompaniment::instrumentChanged);
    const int yxyz = t.choices.count();
    for (int k = 0; k < 3; ++k)
        chords.selectInstrument(k, 25);
    QCOMPARE(t.sent(), (Msgs{R::control(3, 0, 0), R::program(3, 24), R::control(4, 0, 0), R::program(4, 24),
                             R::control(5, 0, 0), R::program(5, 24)}));
    QCOMPARE(spy.size(), 3);
    QCOMPARE(t.choices.count(), yxyz + 3);

    // A click on the entry already chosen sends it again.
    t.clearSent();
    chords.selectInstrument(2, 25);
    QCOMPARE(t.sent(), (Msgs{R::control(5, 0, 0), R::program(5, 24)}));
    QCOMPARE(spy.size(), 3);

    t.clearSent();
    chords.selectInstrument(1, 128);
    QCOMPARE(t.sent(), (Msgs{R::control(4, 0, 0), R::program(4, 127)}));
    chords.sendPrograms();
    QCOMPARE(t.sent().mid(2), (Msgs{R::control(3, 0, 0), R::program(3, 24), R::control(4, 0, 0),
                                    R::program(4, 127), R::control(5, 0, 0), R::program(5, 24)}));

    // Positions and lists that do not exist are ignored.
    t.clearSent();
    chords.selectInstrument(0, 129);
    chords.selectInstrument(0, -1);
    chords.selectInstrument(3, 5);
    chords.selectInstrument(-1, 5);
    QVERIFY(t.sent().isEmpty());
    QCOMPARE(chords.instrumentPosition(0), 25);
}

void ChordAccompanimentTest::silentInstrumentKeepsItsChannelQuiet()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    for (int k = 0; k < 3; ++k)
        chords.selectInstrument(k, 25);
    chords.chooseOption(0);
    chords.pressStart();
    t.clearSent();

    // "0.无声" while the test sounds: its channel stops at once, no program.
    chords.selectInstrument(1, 0);
    QCOMPARE(t.sent(), Msgs{R::noteOff(4, 64)});
    QVERIFY(!chords.channelSounds(1));
    t.clock.advanceMs(1000);
    t.clearSent();

    // No note starts on the silent channel: neither the test nor the score chord.
    chords.pressStart();
    chords.soundChord(chords.ChordNotes());
    for (quint32 m : t.midi.messagesOfKind(0x90))
        QVERIFY2((m & 0x0F) != 4, qPrintable(formatMessages(t.sent())));
    QCOMPARE(t.midi.messagesOfKind(0x90).size(), 4);

    // Start-up's program step skips it; no invalid program ever goes out.
    t.clearSent();
    chords.sendPrograms();
    QCOMPARE(t.sent(), (Msgs{R::control(3, 0, 0), R::program(3, 24), R::control(5, 0, 0), R::program(5, 24)}));
    chords.selectInstrument(1, 0);
    for (quint32 m : t.sent())
        QVERIFY((m & 0xFF) != 0xC4 && (m & 0xFF) != 0xB4);

    // Choosing an instrument again brings the channel back.
    t.clock.advanceMs(1000);
    chords.selectInstrument(1, 1);
    t.clearSent();
    chords.pressStart();
    QCOMPARE(t.sent(), chordOn(36, {24, 28, 31}));
    QVERIFY(t.dialogs.messages.isEmpty());
}

void ChordAccompanimentTest::chordVolume()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    QCOMPARE(ChordAccompaniment::volumeEntries(),
             (QStringList{"25", "40", "55", "70", "85", "100", "120"}));
    chords.selectVolume(6);
    QCOMPARE(t.state.VoiceVelocity[3], qint16(120));
    QCOMPARE(t.state.VoiceVelocity[0], qint16(70));  // melody voices untouched
    chords.selectVolume(7);
    chords.selectVolume(-1);
    QCOMPARE(chords.volumePosition(), 6);
    chords.selectVolume(0);
    QCOMPARE(t.state.VoiceVelocity[3], qint16(25));
    chords.pressStart();
    QCOMPARE(t.sent(), chordOn(36, {0, 0, 0}, 25));
}

void ChordAccompanimentTest::noHangingNotesAfterKeyChange()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    pressKey(t, chords, kKeyI);
    QCOMPARE(hangingChordNotes(t.sent()).size(), 3);

    // The key list moves KeyBase from C to D while the test chord sounds.
    chords.keyBaseChanging(t.state.KeyBase);
    t.state.KeyBase = 38;
    QCOMPARE(t.sent().mid(6), chordOff(36, {24, 28, 31}));
    t.clock.advanceMs(1000);  // the test's end names the new key's pitches
    QVERIFY2(hangingChordNotes(t.sent()).isEmpty(), qPrintable(formatMessages(t.sent())));

    // Key changes with nothing sounding send nothing.
    t.clearSent();
    chords.keyBaseChanging(38);
    QVERIFY(t.sent().isEmpty());

    // A mixed run: chord keys, a test restarted, two key changes, an option click.
    pressKey(t, chords, 76);
    t.clock.advanceMs(300);
    chords.keyBaseChanging(t.state.KeyBase);
    t.state.KeyBase = 47;
    pressKey(t, chords, 190);
    t.clock.advanceMs(200);
    chords.keyBaseChanging(t.state.KeyBase);
    t.state.KeyBase = 36;
    chords.chooseOption(7);
    t.clock.advanceMs(2000);
    QVERIFY2(hangingChordNotes(t.sent()).isEmpty(), qPrintable(formatMessages(t.sent())));
}

void ChordAccompanimentTest::scoreChordAcrossKeyChange()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    t.choices.watch(chords);
    QVERIFY(chords.chooseChordType(2));
    // The player sounds the chosen chord with its next note and keeps it.
    chords.soundChord(chords.ChordNotes());
    t.state.SoundingChordNotes = chords.ChordNotes();
    QCOMPARE(t.sent().mid(3), chordOn(36, {26, 29, 33}));

    // A test chord on top of it, then the key changes while both sound.
    pressKey(t, chords, 188);
    chords.keyBaseChanging(t.state.KeyBase);
    t.state.KeyBase = 41;
    // The player's next note silences its chord at the new key: harmless.
    chords.silenceChord(t.state.SoundingChordNotes);
    t.clock.advanceMs(1000);
    QVERIFY2(hangingChordNotes(t.sent()).isEmpty(), qPrintable(formatMessages(t.sent())));
}
