#include "PerformanceRig.h"
#include "TestMain.h"

#include "performance/MiniKeyboard.h"

#include <QTest>

#include <functional>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {
constexpr int A = 0x41, S = 0x53, SPACE = 32, BACKSPACE = 8;

// The main window's performance and the mini window on one session.
struct BothKeyboards {
    PerformanceRig main;
    MiniKeyboard mini{main.t.ctx, main.t.window};
    SharedState &s = main.t.state;
};

using Action = std::function<void(BothKeyboards &)>;

Msgs offsOn(int note, std::initializer_list<int> channels)
{
    Msgs m;
    for (int c : channels)
        m << R::noteOff(c, note);
    return m;
}
}  // namespace

// A note-off goes to the note that sounds, whatever changed KeyBase since it
// began (the editor's key list, or a window that sets it for its own notes).
class SoundingNoteTest : public QObject {
    Q_OBJECT
private slots:
    void noteOffFollowsTheSoundingNote_data()
    {
        QTest::addColumn<Action>("start");
        QTest::addColumn<Action>("end");
        QTest::addColumn<Msgs>("offs");
        const Action key = [](BothKeyboards &b) { b.main.press(A); };
        const Action mouse = [](BothKeyboards &b) { b.main.keys.pianoPressed(24); };
        const Action miniKey = [](BothKeyboards &b) { b.mini.keyPressed(A); };
        const Action miniMouse = [](BothKeyboards &b) { b.mini.pianoPressed(24); };
        const Msgs all = offsOn(62, {0, 1, 2});

        QTest::newRow("key, then Space") << key << Action([](BothKeyboards &b) { b.main.press(SPACE); }) << all;
        QTest::newRow("key, then a rest") << key << Action([](BothKeyboards &b) { b.main.press(BACKSPACE); }) << all;
        QTest::newRow("key, then the 100th tick") << key << Action([](BothKeyboards &b) { b.main.ticks(100); }) << all;
        QTest::newRow("key, then the next key")
            << key << Action([](BothKeyboards &b) { b.main.press(S); }) << all;
        QTest::newRow("key, then the mute pad") << key << Action([](BothKeyboards &b) { b.main.keys.mutePadMoved(); })
                                                << all;
        QTest::newRow("key, then a voice set silent")
            << key << Action([](BothKeyboards &b) { b.main.voices.selectInstrument(1, 0); }) << offsOn(62, {1});
        QTest::newRow("key, then the window steps aside")
            << key << Action([](BothKeyboards &b) { b.main.engine.setAway(true); }) << all;
        QTest::newRow("mouse, then another mouse key")
            << mouse << Action([](BothKeyboards &b) { b.main.keys.pianoPressed(25); }) << all;
        QTest::newRow("mouse, then Space") << mouse << Action([](BothKeyboards &b) { b.main.press(SPACE); }) << all;
        QTest::newRow("mini key, then Space") << miniKey << Action([](BothKeyboards &b) { b.mini.keyPressed(SPACE); })
                                              << all;
        QTest::newRow("mini key, then its last tick")
            << miniKey << Action([](BothKeyboards &b) {
                   for (int i = 0; i < 100; ++i)
                       b.mini.onDurationTick();
               })
            << all;
        QTest::newRow("mini key, then its mute pad") << miniKey << Action([](BothKeyboards &b) { b.mini.mutePadTouched(); })
                                                     << all;
        QTest::newRow("mini mouse, then the main keyboard's key")
            << miniMouse << Action([](BothKeyboards &b) { b.main.press(S); }) << all;
    }

    void noteOffFollowsTheSoundingNote()
    {
        QFETCH(Action, start);
        QFETCH(Action, end);
        QFETCH(Msgs, offs);
        BothKeyboards b;
        b.main.voices.selectKey(2);  // D: offset 24 is note 62
        b.mini.activate();
        b.main.engine.focusGained();
        start(b);
        QVERIFY(b.main.t.midi.messagesOfKind(0x90).contains(R::noteOn(0, 62, 70)));
        b.main.t.clearSent();
        b.s.KeyBase = 36;  // another window chose key C meanwhile
        end(b);
        const Msgs sentOffs = b.main.t.midi.messagesOfKind(0x80);
        QCOMPARE(sentOffs.mid(0, offs.size()), offs);
        for (quint32 m : sentOffs)
            QVERIFY2(((m >> 8) & 0x7F) != 60, "a note-off went to the note of the new key");
    }

    void nothingSoundingKeepsTheLastOffset()
    {
        // With no note sounding, note-offs go to KeyBase + LastNoteOffset as
        // before: the mute pad at start-up, after a key change, after Space.
        PerformanceRig r;
        r.engine.focusGained();
        r.keys.mutePadMoved();
        QCOMPARE(r.noteOffs(), offsOn(36, {0, 1, 2}));
        r.press(A);
        r.press(SPACE);
        r.voices.selectKey(2);
        r.t.clearSent();
        r.keys.mutePadMoved();
        QCOMPARE(r.noteOffs(), offsOn(62, {0, 1, 2}));
        QVERIFY(r.t.state.SoundingMelodyNote < 0);
    }

    void awayKeyboardNeitherPlaysNorWrites()
    {
        PerformanceRig r;
        r.press(A);
        r.t.clearSent();
        r.engine.setAway(true);
        QVERIFY(!r.engine.timer1().isEnabled());
        QVERIFY(!r.keys.keysEnabled());
        QCOMPARE(r.noteOffs(), offsOn(60, {0, 1, 2}));
        r.t.clearSent();
        // Keys, the mouse and the focus do nothing while another window is up.
        for (int code : {S, SPACE, BACKSPACE, 0x70, 0x61})
            r.press(code);
        r.engine.focusGained();
        r.keys.pianoPressed(30);
        QVERIFY(r.sent().isEmpty());
        QCOMPARE(r.t.state.ScoreText, QString("KC"));
        QVERIFY(!r.engine.timer1().isEnabled());
        // Stepping aside with nothing sounding sends nothing.
        r.engine.setAway(false);
        r.engine.setAway(true);
        QVERIFY(r.sent().isEmpty());
        r.engine.setAway(false);
        r.engine.focusGained();
        r.press(S);
        QCOMPARE(r.t.state.ScoreText, QString("KC0KD"));
        QVERIFY(r.keys.keysEnabled());
    }
};

DZQ_REGISTER_TEST(SoundingNoteTest)
#include "SoundingNoteTest.moc"
