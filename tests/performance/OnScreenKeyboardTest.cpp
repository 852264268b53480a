#include "PerformanceTests.h"
#include "PerformanceRig.h"

#include "performance/KeyTable.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

void OnScreenKeyboardTest::geometry()
{
    QCOMPARE(OnScreenKeyboard::keyRect(0), QRect(0, 216, 26, 121));
    QCOMPARE(OnScreenKeyboard::keyRect(1), QRect(14, 216, 18, 69));
    QCOMPARE(OnScreenKeyboard::keyRect(2), QRect(26, 216, 26, 121));
    QCOMPARE(OnScreenKeyboard::keyRect(10), QRect(150, 216, 18, 69));
    QCOMPARE(OnScreenKeyboard::keyRect(11), QRect(156, 216, 26, 121));
    QCOMPARE(OnScreenKeyboard::keyRect(13), QRect(182 + 14, 216, 18, 69));
    QCOMPARE(OnScreenKeyboard::keyRect(63), QRect(182 * 5 + 46, 216, 18, 69));
    QCOMPARE(OnScreenKeyboard::keyRect(64), QRect(962, 216, 26, 121));
    QVERIFY(OnScreenKeyboard::keyRect(65).isNull());
    QVERIFY(OnScreenKeyboard::keyRect(-1).isNull());
    // 38 white keys side by side fill the 988 pixels without gaps.
    int white = 0, right = 0;
    for (int o = 0; o < 65; ++o) {
        const QRect r = OnScreenKeyboard::keyRect(o);
        if (KeyTable::isBlackKey(o))
            continue;
        QCOMPARE(r.x(), 26 * white);
        ++white;
        right = r.x() + r.width();
    }
    QCOMPARE(white, 38);
    QCOMPARE(right, 988);
    QCOMPARE(OnScreenKeyboard::mutePadRect(), QRect(0, 204, 988, 13));
    const QString caption = OnScreenKeyboard::mutePadCaption();
    QVERIFY(caption.startsWith(QStringLiteral("消    音    板    ")));
    QVERIFY(caption.endsWith(QStringLiteral("    消    音    板")));
}

void OnScreenKeyboardTest::keyUnderPoint()
{
    // Black keys lie on top of the white ones.
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(20, 230)), 1);
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(20, 300)), 0);
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(5, 230)), 0);
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(987, 336)), 64);
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(500, 210)), -1);  // the mute pad
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(988, 300)), -1);
    QCOMPARE(OnScreenKeyboard::keyAt(QPoint(10, 337)), -1);
    for (int o = 0; o < 65; ++o)
        QCOMPARE(OnScreenKeyboard::keyAt(OnScreenKeyboard::keyRect(o).center()), o);
}

void OnScreenKeyboardTest::initialisation()
{
    TestContext t;
    MelodyVoices voices(t.ctx);
    ChordAccompaniment chords(t.ctx, t.window);
    OnScreenKeyboard keys(t.ctx, voices, chords);
    QSignalSpy spy(&keys, &OnScreenKeyboard::pictureChanged);
    keys.initialiseKeys();
    for (int o = 0; o < 65; ++o) {
        QCOMPARE(t.state.KeyIsWhite[size_t(o)], !KeyTable::isBlackKey(o));
        QCOMPARE(keys.picture(o), KeyTable::isBlackKey(o) ? 104 : 102);
    }
    QVERIFY(!keys.keysEnabled());  // until the keyboard button has the focus
    QVERIFY(!keys.layoutLarge());
    QVERIFY(t.sent().isEmpty());
}

void OnScreenKeyboardTest::strikeStopsScoreChordsAndSoundsVoices()
{
    PerformanceRig rig;
    rig.t.state.SoundingChordNotes = {24, 28, 31};
    rig.t.state.LastNoteOffset = 40;
    rig.keys.showPressed(40);
    rig.voices.selectInstrument(1, 0);  // voice 2 silent
    rig.t.clearSent();
    rig.keys.strike(13);
    QCOMPARE(rig.sent(), (Msgs{R::noteOff(0, 76), R::noteOff(1, 76), R::noteOff(2, 76),
                               R::noteOff(3, 60), R::noteOff(4, 64), R::noteOff(5, 67),
                               R::noteOn(0, 49, 70), R::noteOn(2, 49, 70)}));
    QCOMPARE(rig.keys.picture(13), 105);
    QCOMPARE(rig.keys.picture(40), 102);
    QCOMPARE(int(rig.t.state.LastNoteOffset), 13);
    // Mouse notes are not written and do not start the duration tick.
    QVERIFY(rig.t.state.ScoreText.isEmpty());
    QVERIFY(!rig.engine.timer1().isTicking());
    // The same key again sounds again and stays pressed.
    rig.t.clearSent();
    rig.keys.strike(13);
    QCOMPARE(rig.noteOns(), (Msgs{R::noteOn(0, 49, 70), R::noteOn(2, 49, 70)}));
    QCOMPARE(rig.keys.picture(13), 105);
}

void OnScreenKeyboardTest::disabledKeysDoNothing()
{
    PerformanceRig rig;
    rig.engine.focusLost();
    rig.keys.strike(5);
    rig.keys.mutePadMoved();
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(rig.keys.picture(5), 102);
    QCOMPARE(int(rig.t.state.LastNoteOffset), 0);
}

void OnScreenKeyboardTest::mutePad()
{
    PerformanceRig rig;
    // Nothing sounding: the three note-offs go out anyway.
    rig.keys.mutePadMoved();
    QCOMPARE(rig.sent(), (Msgs{R::noteOff(0, 36), R::noteOff(1, 36), R::noteOff(2, 36)}));
    rig.keys.strike(7);
    rig.t.clearSent();
    rig.keys.mutePadMoved();
    rig.keys.mutePadMoved();
    QCOMPARE(rig.sent().size(), 6);
    QCOMPARE(rig.sent().first(), R::noteOff(0, 43));
    QCOMPARE(rig.keys.picture(7), 103);  // stays drawn pressed
}

void OnScreenKeyboardTest::layoutToggles()
{
    PerformanceRig rig;
    QSignalSpy spy(&rig.keys, &OnScreenKeyboard::layoutChanged);
    QCOMPARE(rig.keys.picture2Geometry(), QRect(408, 152, 175, 51));
    QCOMPARE(rig.keys.label3Caption(), QString("点击图片查看键盘分布"));
    rig.keys.layoutClicked();
    QVERIFY(rig.keys.layoutLarge());
    QCOMPARE(rig.keys.picture2Geometry(), QRect(0, 0, 988, 204));
    QCOMPARE(rig.keys.image3Size(), QSize(988, 204));
    QCOMPARE(rig.keys.label3Caption(), QString("点击图片收回键盘分布"));
    rig.keys.layoutClicked();
    QVERIFY(!rig.keys.layoutLarge());
    QCOMPARE(rig.keys.picture2Geometry(), QRect(408, 152, 175, 51));
    QCOMPARE(rig.keys.image3Size(), QSize(175, 51));
    QCOMPARE(rig.keys.label3Caption(), QString("点击图片查看键盘分布"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(OnScreenKeyboard::label3Position(), QPoint(435, 204));
}

void OnScreenKeyboardTest::badOffsetsAreIgnored()
{
    PerformanceRig rig;
    rig.keys.strike(65);
    rig.keys.strike(-1);
    rig.keys.showPressed(65);
    rig.keys.showUp(-3);
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(rig.keys.picture(65), 0);
    // A stray last offset (set by someone else) draws nothing and crashes nothing.
    rig.t.state.LastNoteOffset = 500;
    rig.keys.strike(3);
    rig.t.state.LastNoteOffset = -7;
    rig.press(0x41);
    rig.press(32);
    QCOMPARE(rig.keys.picture(24), 102);
}
