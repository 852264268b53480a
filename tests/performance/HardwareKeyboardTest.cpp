#include "PerformanceRig.h"
#include "TestMain.h"

#include "performance/HardwareKeyboard.h"
#include "performance/HardwareTargets.h"
#include "performance/MiniKeyboard.h"
#include "resources/StringTable.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

constexpr int SPACE = 32, F1 = 0x70;

// A MIDI keyboard playing into the main window at its start-up defaults
// (instruments 15, 52, 79, volume 70, key C); the mini window and the
// editor stand by as the other targets.
struct HardwareRig : PerformanceRig {
    HardwareKeyboard hw{t.ctx, t.window};
    MainWindowNotes mainNotes{t.state, voices, engine, keys};
    MiniKeyboard mini{t.ctx, t.window};
    MiniWindowNotes miniNotes{t.state, mini};
    qint16 editorVolume = 100;
    EditorNotes editorNotes{[this] { return editorVolume; }};
    SharedState &s = t.state;

    HardwareRig() { hw.setTarget(&mainNotes); }

    void send(const MidiMessage &m, int source = 1) { hw.receive(source, m); }
    void on(int n, int velocity = 127, int source = 1, int channel = 0)
    {
        send(MidiMessage::make(Midi::NoteOn, channel, n, velocity), source);
    }
    void off(int n, int source = 1) { send(MidiMessage::make(Midi::NoteOff, 0, n, 64), source); }
    void cc(int number, int value, int source = 1)
    {
        send(MidiMessage::make(Midi::ControlChange, 0, number, value), source);
    }
};

Msgs ons(int note, int velocity)
{
    return {R::noteOn(0, note, velocity), R::noteOn(1, note, velocity), R::noteOn(2, note, velocity)};
}
Msgs offs(int note) { return {R::noteOff(0, note), R::noteOff(1, note), R::noteOff(2, note)}; }
Msgs controls(int number, int value)
{
    return {R::control(0, number, value), R::control(1, number, value), R::control(2, number, value)};
}

}  // namespace

class HardwareKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void velocityScales_data()
    {
        QTest::addColumn<int>("volumePosition");  // Zxlyl: 0 "25" .. 6 "120"
        QTest::addColumn<int>("velocity");  // from the keyboard
        QTest::addColumn<int>("expected");
        QTest::newRow("70, full force") << 3 << 127 << 70;
        QTest::newRow("70 x 100 / 127") << 3 << 100 << 55;
        QTest::newRow("70, softest") << 3 << 1 << 1;
        QTest::newRow("25 x 2 / 127 rounds to 0: 1") << 0 << 2 << 1;
        QTest::newRow("120 x 64 / 127") << 6 << 64 << 60;
        QTest::newRow("120, full force") << 6 << 127 << 120;
    }
    void velocityScales()
    {
        QFETCH(int, volumePosition);
        QFETCH(int, velocity);
        QFETCH(int, expected);
        HardwareRig rig;
        for (int i = 0; i < 3; ++i)
            rig.voices.selectVolume(i, volumePosition);
        rig.t.clearSent();
        rig.on(60, velocity);
        QCOMPARE(rig.t.midi.messagesOfKind(0x90), ons(60, expected));
    }

    // Each voice at its own volume; a silent voice plays nothing and its
    // channel gets no note-off either.
    void voicesAndSilentVoices()
    {
        HardwareRig rig;
        rig.voices.selectVolume(1, 6);  // "120"
        rig.voices.selectInstrument(2, 0);  // "0.无声"
        rig.t.clearSent();
        rig.on(60, 127);
        rig.off(60);
        QCOMPARE(rig.t.sent(),
                 (Msgs{R::noteOn(0, 60, 70), R::noteOn(1, 60, 120), R::noteOff(0, 60), R::noteOff(1, 60)}));
        QCOMPARE(rig.hw.soundingNotes(), 0);
    }

    // Unlike the computer keyboard, a chord sounds whole; only its first
    // note is written when the notes come within one duration tick.
    void chords()
    {
        HardwareRig rig;
        rig.on(60, 100);
        rig.on(64, 100);
        rig.on(67, 100);
        QCOMPARE(rig.t.midi.messagesOfKind(0x90), ons(60, 55) + ons(64, 55) + ons(67, 55));
        QVERIFY(rig.t.midi.messagesOfKind(0x80).isEmpty());
        QCOMPARE(rig.hw.soundingNotes(), 3);
        QCOMPARE(rig.s.ScoreText, QString("KC"));
        QCOMPARE(rig.t.window.Text3(), QString("KC"));
        // The next chord, two ticks later, writes its first note.
        rig.ticks(2);
        rig.on(62);
        rig.on(65);
        QCOMPARE(rig.s.ScoreText, QString("KC2KD"));
        rig.ticks(1);
        rig.on(67);
        QCOMPARE(rig.s.ScoreText, QString("KC2KD1KG"));
        // Releasing in any order ends each note once.
        for (int n : {64, 60, 67, 65, 62})
            rig.off(n);
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        QCOMPARE(rig.hw.soundingNotes(), 0);
    }

    // A note is written like its key: the code after the duration counted
    // since the previous one, the key's help text, the tick started again.
    void writesAsTheKeysDo_data()
    {
        QTest::addColumn<int>("note");  // hardware note number
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("helpId");
        QTest::newRow("36: LC, key 1") << 36 << "LC" << 401;
        QTest::newRow("60: KC, key A") << 60 << "KC" << 415;
        QTest::newRow("83: HB, key M") << 83 << "HB" << 428;
        QTest::newRow("84: MC, key 8") << 84 << "MC" << 429;
        QTest::newRow("91: MG, key =") << 91 << "MG" << 433;
        QTest::newRow("93: MA, key \\") << 93 << "MA" << 433;
        QTest::newRow("61: black key") << 61 << "" << 0;
        QTest::newRow("95: MB, no key") << 95 << "" << 0;
        QTest::newRow("96: above the five octaves") << 96 << "" << 0;
        QTest::newRow("35: below them") << 35 << "" << 0;
    }
    void writesAsTheKeysDo()
    {
        QFETCH(int, note);
        QFETCH(QString, code);
        QFETCH(int, helpId);
        HardwareRig rig;
        int playingCleared = 0;
        rig.partners.onClearScorePlaying = [&] { ++playingCleared; };
        rig.on(62);  // KD first
        rig.ticks(4);
        rig.t.window.setXSWB(QString());
        rig.t.clearSent();
        rig.on(note, 127);
        // It sounds in any case, at n - 36 + KeyBase.
        QCOMPARE(rig.t.sent(), ons(note, 70));
        if (code.isEmpty()) {
            QCOMPARE(rig.s.ScoreText, QString("KD"));
            QCOMPARE(int(rig.s.DurationCount), 4);
            QCOMPARE(rig.t.window.XSWB(), QString());
            QCOMPARE(playingCleared, 1);
            return;
        }
        QCOMPARE(rig.s.ScoreText, "KD4" + code);
        QCOMPARE(rig.t.window.Text3(), "KD4" + code);
        QCOMPARE(rig.t.window.XSWB(), StringTable::text(helpId));
        QCOMPARE(int(rig.s.DurationCount), 0);
        QCOMPARE(int(rig.s.CurrentNoteOffset), note - 36);
        QVERIFY(rig.engine.timer1().isTicking());
        QCOMPARE(playingCleared, 2);
    }

    // A black key struck within the tick of a written note does not keep the
    // next white key from being written.
    void blackKeysLeaveTheTickAlone()
    {
        HardwareRig rig;
        rig.on(61);
        rig.on(60);
        rig.on(63);
        rig.on(64);
        QCOMPARE(rig.s.ScoreText, QString("KC"));
        rig.ticks(3);
        rig.on(66);
        QCOMPARE(rig.s.ScoreText, QString("KC"));
        rig.on(67);
        QCOMPARE(rig.s.ScoreText, QString("KC3KG"));
    }

    // The computer keyboard and the rest key between two hardware notes of
    // one tick: the second is written, the tick is no longer a chord's.
    void otherWritersEndTheChord()
    {
        HardwareRig rig;
        rig.on(60);
        rig.press(0x53);  // S: KD
        rig.on(64);
        QCOMPARE(rig.s.ScoreText, QString("KC0KD0KE"));
        rig.press(8);  // Backspace: rest
        rig.on(65);
        QCOMPARE(rig.s.ScoreText, QString("KC0KD0KE0XZ0KF"));
    }

    // While the score box is edited by hand the notes sound and leave the
    // box and the score alone (the status line says why); a chord's rest is
    // not taken for written, and writing goes on once the box is left.
    void heldWhileTheScoreBoxIsEdited()
    {
        HardwareRig rig;
        bool editing = false;
        rig.mainNotes.setScoreBeingEdited([&editing] { return editing; });
        rig.on(60);
        rig.ticks(3);
        editing = true;
        rig.t.window.setText3("KCVS5");  // typed by hand
        rig.t.clearSent();
        rig.on(62);
        rig.on(64);
        QCOMPARE(rig.t.sent(), ons(62, 70) + ons(64, 70));
        QCOMPARE(rig.t.window.Text3(), QString("KCVS5"));
        QCOMPARE(rig.s.ScoreText, QString("KC"));
        QCOMPARE(rig.t.window.FJWZ(), HardwareKeyboard::heldMessage());
        QCOMPARE(rig.t.window.XSWB(), HardwareKeyboard::heldInfo());
        QVERIFY(rig.t.window.FJWZ().endsWith(QStringLiteral("。。。")));
        editing = false;
        rig.on(65);
        QCOMPARE(rig.s.ScoreText, QString("KC3KF"));
        QCOMPARE(rig.t.window.Text3(), QString("KC3KF"));
    }

    // The 99TZ rule holds as with the computer keys: the score ends after
    // 100 ticks without a new note, and the next note writes 99 again.
    void heldForHundredTicks()
    {
        HardwareRig rig;
        rig.on(60);
        rig.ticks(100);
        QCOMPARE(rig.s.ScoreText, QString("KC99TZ"));
        QVERIFY(!rig.engine.timer1().isTicking());
        rig.off(60);
        rig.on(62);
        QCOMPARE(rig.s.ScoreText, QString("KC99TZ99KD"));
    }

    // The key list transposes the hardware keyboard; the note-off goes to
    // the note that sounds, even when the key changed in between.
    void transpositionAndNoteOffPairing()
    {
        HardwareRig rig;
        rig.voices.selectKey(11);  // "B": KeyBase 47
        rig.t.clearSent();
        rig.on(60);
        QCOMPARE(rig.t.sent(), ons(71, 70));
        rig.voices.selectKey(2);  // "D": KeyBase 38
        rig.on(62);
        rig.t.clearSent();
        rig.off(60);
        rig.off(62);
        QCOMPARE(rig.t.sent(), offs(71) + offs(64));
        // A note beyond MIDI's range at this key plays nothing.
        rig.voices.selectKey(11);
        rig.t.clearSent();
        rig.on(127);
        rig.off(127);
        QVERIFY(rig.t.sent().isEmpty());
        // Whatever the volume or voices did meanwhile.
        rig.on(48);
        rig.voices.selectInstrument(1, 0);
        rig.voices.selectVolume(0, 6);
        rig.t.clearSent();
        rig.off(48);
        QCOMPARE(rig.t.sent(), offs(59));
    }

    // Note-on with velocity 0 is a note-off; a key struck again without a
    // release ends its note first; drum pads (channel 10) play nothing;
    // messages of any other channel play.
    void noteOnVariants()
    {
        HardwareRig rig;
        rig.on(60, 127, 1, 3);
        rig.on(60, 0, 1, 3);
        QCOMPARE(rig.t.sent(), ons(60, 70) + offs(60));
        rig.t.clearSent();
        rig.on(60, 127);
        rig.on(60, 64);
        QCOMPARE(rig.t.sent(), ons(60, 70) + offs(60) + ons(60, 35));
        rig.t.clearSent();
        rig.on(38, 127, 1, 9);
        rig.send(MidiMessage::make(Midi::ProgramChange, 0, 5));
        rig.send(MidiMessage::make(Midi::ChannelPressure, 0, 90));
        QVERIFY(rig.t.sent().isEmpty());
        QCOMPARE(rig.hw.soundingNotes(), 1);
    }

    // Sustain, modulation and pitch bend go to the three melody channels;
    // other controllers do not. Silencing puts them back at rest.
    void controllers()
    {
        HardwareRig rig;
        rig.cc(64, 127);
        rig.cc(1, 40);
        rig.cc(7, 20);  // volume: the program's own
        rig.send(MidiMessage::make(Midi::PitchBend, 0, 0x00, 0x50));
        const Msgs bend{0x5000E0, 0x5000E1, 0x5000E2};
        QCOMPARE(rig.t.sent(), controls(64, 127) + controls(1, 40) + bend);
        rig.on(60);
        rig.off(60);  // the pedal holds it: the synthesizer's business
        rig.t.clearSent();
        rig.hw.silence();
        const Msgs centre{0x4000E0, 0x4000E1, 0x4000E2};
        QCOMPARE(rig.t.sent(), controls(64, 0) + controls(1, 0) + centre);
        rig.t.clearSent();
        rig.hw.silence();  // all at rest already
        QVERIFY(rig.t.sent().isEmpty());
        // The pedal up by the keyboard itself: nothing left to release.
        rig.cc(64, 127);
        rig.cc(64, 0);
        rig.t.clearSent();
        rig.hw.silence();
        QVERIFY(rig.t.sent().isEmpty());
    }

    // The keyboard's own panic button ends its notes.
    void allNotesOffFromTheKeyboard()
    {
        HardwareRig rig;
        rig.on(60);
        rig.on(64);
        rig.cc(123, 0);
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        rig.on(67);
        rig.cc(120, 0);
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        QCOMPARE(rig.hw.soundingNotes(), 0);
    }

    // Space and the mute pad silence the melody: every note of every input
    // ends, held by the pedal or not.
    void spaceAndMutePad()
    {
        HardwareRig rig;
        rig.on(60, 127, 1);
        rig.on(64, 127, 2);
        rig.cc(64, 127, 2);
        rig.press(SPACE);
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        QCOMPARE(rig.t.sent().mid(rig.t.sent().size() - 3), controls(64, 0));
        QCOMPARE(rig.hw.soundingNotes(), 0);
        rig.on(67);
        rig.keys.mutePadMoved();
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        QCOMPARE(rig.hw.soundingNotes(), 0);
    }

    // An input that goes away: its notes end and its controllers rest; the
    // other input plays on.
    void disconnect()
    {
        HardwareRig rig;
        rig.on(60, 127, 1);
        rig.on(64, 127, 2);
        rig.send(MidiMessage::make(Midi::PitchBend, 0, 0, 0x60), 1);
        rig.t.clearSent();
        rig.hw.inputLost(1);
        QCOMPARE(rig.t.sent(), offs(60) + Msgs({0x4000E0, 0x4000E1, 0x4000E2}));
        QCOMPARE(rig.hw.soundingNotes(), 1);
        rig.hw.inputLost(7);  // never played: nothing
        rig.t.clearSent();
        rig.off(64, 2);
        QCOMPARE(rig.t.sent(), offs(64));
    }

    // The keys held show pressed on the on-screen piano and come up when
    // released, unless the computer keyboard sounds that key.
    void keyPictures()
    {
        HardwareRig rig;
        rig.on(61);
        rig.on(64);
        QCOMPARE(rig.keys.picture(25), 105);
        QCOMPARE(rig.keys.picture(28), 103);
        rig.off(61);
        QCOMPARE(rig.keys.picture(25), 104);
        rig.press(0x44);  // D: offset 28, sounding from the computer key
        rig.off(64);
        QCOMPARE(rig.keys.picture(28), 103);
        rig.on(100);  // offset 64, the last key
        QCOMPARE(rig.keys.picture(64), 103);
        rig.on(20);  // below the piano: no picture to draw, no crash
        rig.off(20);
    }

    void statusLineNamesTheKeyboard()
    {
        HardwareRig rig;
        rig.hw.inputConnected(QStringLiteral("Keystation 49"));
        QCOMPARE(rig.t.window.FJWZ(), QStringLiteral("已连接MIDI键盘：Keystation 49。。。"));
        QCOMPARE(rig.t.window.XSWB(), QStringLiteral("已连接MIDI键盘：\r\nKeystation 49"));
    }

    // Before start-up and after shut-down nothing plays.
    void withoutTarget()
    {
        HardwareRig rig;
        rig.hw.setTarget(nullptr);
        rig.on(60);
        rig.cc(64, 127);
        QVERIFY(rig.t.sent().isEmpty());
        QCOMPARE(rig.s.ScoreText, QString());
    }

    // The mini window: its voices (VoiceInstrument), its score (no score
    // box, its own tick at EighthBeatMs), its boxes; not the "\" key's MA.
    void miniWindow()
    {
        HardwareRig rig;
        rig.on(60);
        rig.t.clearSent();
        rig.engine.setAway(true);  // as the main window steps aside
        rig.mini.activate();
        rig.hw.setTarget(&rig.miniNotes);
        QCOMPARE(rig.t.midi.messagesOfKind(0x80), offs(60));  // the window change ended it
        rig.mini.keyPressed(F1);  // voice 1 only
        rig.t.clearSent();
        rig.on(62, 127);
        rig.on(66, 127);  // black key: sounds, not written
        QCOMPARE(rig.t.sent(), (Msgs{R::noteOn(0, 62, 70), R::noteOn(0, 66, 70)}));
        QCOMPARE(rig.s.ScoreText, QString("KD"));
        QCOMPARE(rig.t.window.Text3(), QString("KC"));  // the main window's box waits for "返回"
        QVERIFY(rig.mini.timer1().isTicking());
        QCOMPARE(rig.mini.timer1().interval(), int(rig.s.EighthBeatMs));
        QVERIFY(!rig.engine.timer1().isTicking());
        QCOMPARE(rig.mini.boxColour(26), MiniKeyboard::kWhitePressed);
        QCOMPARE(rig.mini.boxColour(30), MiniKeyboard::kBlackPressed);
        rig.off(66);
        QCOMPARE(rig.mini.boxColour(30), MiniKeyboard::kBlackUp);
        rig.mini.onDurationTick();
        rig.on(93);  // MA: the mini window has no key for it
        rig.mini.onDurationTick();
        rig.on(91);
        QCOMPARE(rig.s.ScoreText, QString("KD2MG"));
        // Its Space and its mute pad end the notes.
        rig.mini.keyPressed(SPACE);
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        rig.on(60);
        rig.mini.mutePadTouched();
        QCOMPARE(hangingMelodyNotes(rig.t.sent()), QString());
        // Back in the main window, the main window's rules apply again.
        rig.hw.setTarget(&rig.mainNotes);
        rig.t.clearSent();
        rig.on(60, 127);
        QCOMPARE(rig.t.sent(), ons(60, 70));
    }

    // The editor: channel 0 only, at its first row's volume; nothing is
    // written; controllers go to channel 0 only.
    void editor()
    {
        HardwareRig rig;
        rig.hw.setTarget(&rig.editorNotes);
        rig.on(60, 127);
        rig.on(64, 64);
        rig.cc(64, 127);
        QCOMPARE(rig.t.sent(), (Msgs{R::noteOn(0, 60, 100), R::noteOn(0, 64, 50), R::control(0, 64, 127)}));
        QCOMPARE(rig.s.ScoreText, QString());
        QVERIFY(!rig.engine.timer1().isTicking());
        rig.t.clearSent();
        rig.hw.setTarget(&rig.mainNotes);  // leaving the editor
        QCOMPARE(rig.t.sent(), (Msgs{R::noteOff(0, 60), R::noteOff(0, 64), R::control(0, 64, 0)}));
        // A silent first row plays nothing.
        rig.editorVolume = 0;
        rig.hw.setTarget(&rig.editorNotes);
        rig.t.clearSent();
        rig.on(60);
        rig.off(60);
        QVERIFY(rig.t.sent().isEmpty());
    }
};

DZQ_REGISTER_TEST(HardwareKeyboardTest)

#include "HardwareKeyboardTest.moc"
