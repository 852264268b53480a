#include "ScoreTestRig.h"
#include "TestMain.h"

#include "performance/MelodyVoices.h"
#include "score/ScoreReader.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

constexpr int kTick = 83;  // EighthBeatMs at 90 beats per minute

Msgs melodyOff(int note)
{
    return {R::noteOff(0, note), R::noteOff(1, note), R::noteOff(2, note)};
}

Msgs chordOff(int n1, int n2, int n3)
{
    return {R::noteOff(3, n1), R::noteOff(4, n2), R::noteOff(5, n3)};
}

// Everything the player sends to stop its notes: melody, then chord notes.
Msgs silence(int melodyNote, int chordBase = 36)
{
    return melodyOff(melodyNote) + chordOff(chordBase, chordBase, chordBase);
}

Msgs tail(const Msgs &all, int n)
{
    return all.mid(qMax(0, int(all.size()) - n));
}

}  // namespace

class ScorePlayerTest : public QObject {
    Q_OBJECT
private slots:
    void howScoresEnd_data();
    void howScoresEnd();
    void statusLineShowsTheEnd();
    void errorStopsTheClockBeforeTheBox();
    void endOfTextEnablesTheButtons();
    void zeroDurationNeverAdvances();
    void badTempoHalts_data();
    void badTempoHalts();
    void tempoCommands();
    void combinations();
    void effectsStretchTheClock();
    void chordSoundsWithOneNote();
    void rhythmCommands();
    void autoSyncAndClockParity();
    void playPressedWhilePlayingStops();
    void workedExampleTiming();
    void textGrowingWhilePlaying();
    void keyboardTakesOver();
    void tooLongScoreIsRefused();
    void midiErrorBoxDoesNotNestTicks();
};

void ScorePlayerTest::howScoresEnd_data()
{
    QTest::addColumn<QString>("score");
    QTest::addColumn<QStringList>("melody");  // channel 0 note-ons, "note@ms"
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("shownText");  // the score box afterwards

    // The lone D left over after KD is an unrecognised token.
    QTest::newRow("KC8KD") << "KC8KD" << QStringList{"60@0", "62@664"} << true << "KC8KD";
    QTest::newRow("KC8KD8TZ") << "KC8KD8TZ" << QStringList{"60@0", "62@664"} << false << "KC8KD8TZ";
    // The end of the text: KD4 ends on the last character and is not sounded.
    QTest::newRow("KC8KD4") << "KC8KD4" << QStringList{"60@0"} << false << "KC8KD4";
    // KC12, then "3K" is an error twelve ticks later.
    QTest::newRow("KC123KD8") << "KC123KD8" << QStringList{"60@0"} << true << "KC123KD8";
    QTest::newRow("K C8") << "K C8" << QStringList{} << true << "K C8";
    QTest::newRow("HX7") << "HX7KC8TZ" << QStringList{} << true << "HX7KC8TZ";
    QTest::newRow("YX7 JP0 skipped") << "YX7JP0KC2TZ" << QStringList{"60@0"} << false << "YX7JP0KC2TZ";
    // The box is upper-cased before playing.
    QTest::newRow("kc8kd8tz") << "kc8kd8tz" << QStringList{"60@0", "62@664"} << false << "KC8KD8TZ";
    // A rest without a number rests for the duration left by the command before it.
    QTest::newRow("YQ8 XZ") << "YQ8XZKC8TZ" << QStringList{"60@664"} << false << "YQ8XZKC8TZ";
    QTest::newRow("empty") << "" << QStringList{} << true << "";
    // The keyboard writes MA for its highest key; it plays.
    QTest::newRow("MA") << "MA8KC8TZ" << QStringList{"93@0", "60@664"} << false << "MA8KC8TZ";
    QTest::newRow("MB") << "MB8TZ" << QStringList{} << true << "MB8TZ";
}

void ScorePlayerTest::howScoresEnd()
{
    QFETCH(QString, score);
    QFETCH(QStringList, melody);
    QFETCH(bool, error);
    QFETCH(QString, shownText);

    ScoreRig r;
    r.play(score);
    r.advanceMs(20000);
    QCOMPARE(r.melody(), melody);
    QCOMPARE(r.dialogs.messages, error ? QStringList{ScorePlayer::errorMessage()} : QStringList{});
    if (error)
        QCOMPARE(r.dialogs.titles, QStringList{programTitle()});
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    QVERIFY(!r.player.Timer3().isTicking());
    QCOMPARE(r.t.window.Text3(), shownText);
    QCOMPARE(r.t.state.ScoreText, shownText);
    QCOMPARE(r.t.window.FJWZ(), ScorePlayer::endedStatus());
}

void ScorePlayerTest::statusLineShowsTheEnd()
{
    // Stopped with the play button, or by a cancelled open or save dialog
    // (the button still reads "停止" then), or taken over by the keyboard.
    const std::function<void(ScoreRig &)> stops[] = {
        [](ScoreRig &r) { r.press(); },
        [](ScoreRig &r) { r.files.openClicked(); },
        [](ScoreRig &r) { r.files.saveClicked(); },
        [](ScoreRig &r) { r.player.clearScorePlaying(); },
    };
    for (const auto &stop : stops) {
        ScoreRig r;
        r.play("KC8KD8KE8KF8TZ");
        r.advanceMs(300);
        QCOMPARE(r.t.window.FJWZ(), ScorePlayer::playingStatus());
        stop(r);
        r.advanceMs(2000);
        QCOMPARE(r.t.window.FJWZ(), ScorePlayer::endedStatus());
    }
}

void ScorePlayerTest::errorStopsTheClockBeforeTheBox()
{
    ScoreRig r;
    int ticksWhileShown = -1;
    bool stateWhileShown = false;
    r.dialogs.whileShown = [&](const QString &) {
        // The box's own event loop would let due timers fire: none may be armed.
        const int before = r.melody().size();
        ticksWhileShown = r.t.clock.run(r.t.clock.nowNs() + 5000 * ScoreRig::kMs);
        stateWhileShown = !r.player.Timer3().isEnabled() && !r.player.ScorePlaying()
                          && r.player.playCaption() == "试听" && r.melody().size() == before;
    };
    r.play("KC2KD");
    r.advanceMs(2 * kTick);
    QCOMPARE(r.melody(), (QStringList{"60@0", "62@166"}));
    r.advanceMs(2 * kTick);
    QCOMPARE(r.dialogs.messages.size(), 1);
    QCOMPARE(ticksWhileShown, 0);
    QVERIFY(stateWhileShown);
    // KD was stopped before the box.
    QCOMPARE(tail(r.sent(), 6), silence(62));
}

void ScorePlayerTest::endOfTextEnablesTheButtons()
{
    ScoreRig r;
    for (int i = 0; i < 5; ++i)
        r.player.setButtonEnabled(i, false);
    QSignalSpy enabled(&r.player, &ScorePlayer::buttonEnabledChanged);
    r.play("KC8KD4");
    r.advanceMs(8 * kTick);
    // KD4 ends on the last character: playing ends quietly, KD is not sounded.
    QCOMPARE(r.melody(), QStringList{"60@0"});
    QCOMPARE(tail(r.sent(), 6), silence(60));
    QVERIFY(r.dialogs.messages.isEmpty());
    for (int i = 0; i < 5; ++i)
        QVERIFY(r.player.buttonEnabled(i));
    QCOMPARE(enabled.count(), 5);
    QVERIFY(!r.player.Timer3().isEnabled());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    // The end of the text leaves the rhythm alone.
    QCOMPARE(r.rooms.count("setBzQd(0)"), 0);
    // The next press starts again from the beginning.
    r.press();
    QCOMPARE(r.melody().size(), 2);
}

void ScorePlayerTest::zeroDurationNeverAdvances()
{
    ScoreRig r;
    r.play("KC0KD8TZ");
    r.advanceMs(60000);
    QCOMPARE(r.melody(), QStringList{"60@0"});
    QVERIFY(r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("停止"));
    // The clock keeps running and drives the rhythm every second tick.
    QVERIFY(r.player.Timer3().isTicking());
    QCOMPARE(r.rooms.count("RhythmClockTick"), (60000 / kTick + 1) / 2);
    QCOMPARE(r.t.window.FJWZ(), QString("自动演奏中。。。"));
}

void ScorePlayerTest::badTempoHalts_data()
{
    QTest::addColumn<QString>("score");
    QTest::newRow("VS13") << "VS13KC8TZ";
    QTest::newRow("VS0") << "VS0KC8TZ";
    QTest::newRow("VS without number") << "VSKC8TZ";
}

void ScorePlayerTest::badTempoHalts()
{
    QFETCH(QString, score);
    ScoreRig r;
    r.play(score);
    r.advanceMs(10000);
    QVERIFY(r.melody().isEmpty());
    QVERIFY(r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("停止"));
    QVERIFY(!r.player.Timer3().isTicking());
    QCOMPARE(r.rooms.count("selectTempo(0)") + r.rooms.count("selectTempo(12)"), 0);
    QCOMPARE(r.t.state.EighthBeatMs, qint16(kTick));
    QVERIFY(r.dialogs.messages.isEmpty());

    r.press();
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    QVERIFY(r.melody().isEmpty());
}

void ScorePlayerTest::tempoCommands()
{
    struct Case {
        const char *score;
        const char *selected;
        int ms;
    };
    const Case cases[] = {
        {"VS1KC8KD8TZ", "selectTempo(0)", 125},
        {"VS9KC8KD8TZ", "selectTempo(8)", 75},
        {"VS12KC8KD8TZ", "selectTempo(11)", 65},
    };
    for (const Case &c : cases) {
        ScoreRig r;
        r.play(c.score);
        QCOMPARE(r.rooms.commands().mid(3, 1), QStringList{c.selected});
        QCOMPARE(r.t.state.EighthBeatMs, qint16(c.ms));
        r.advanceMs(20000);
        QCOMPARE(r.melody(), (QStringList{"60@0", QStringLiteral("62@%1").arg(8 * c.ms)}));
    }
    // Halves go to the even neighbour: 120 beats per minute give 62.
    QCOMPARE(MelodyVoices::eighthBeatMsFor(120), 62);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(80), 94);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(70), 107);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(0), 0);
}

void ScorePlayerTest::combinations()
{
    {
        ScoreRig r;
        r.play("YQ13KC8YQKD8YQ12KE8TZ");
        r.advanceMs(5000);
        QCOMPARE(r.rooms.commands().filter("applyCombination"),
                 (QStringList{"applyCombination(7)", "applyCombination(7)", "applyCombination(12)"}));
        QCOMPARE(r.melody().size(), 3);
    }
    {
        // The command's number is the next note's duration.
        ScoreRig r;
        r.play("YQ5KCKD8TZ");
        r.advanceMs(5000);
        QCOMPARE(r.player.CurrentDuration(), qint16(8));
        QCOMPARE(r.melody(), (QStringList{"60@0", "62@415"}));
    }
    {
        // Combination 1 leaves voices 2 and 3 silent: only channel 0 sounds.
        ScoreRig r;
        r.play("YQ1KC8TZ");
        QCOMPARE(r.noteOns(), QStringList{"0:60@0"});
    }
}

void ScorePlayerTest::effectsStretchTheClock()
{
    {
        ScoreRig r;
        r.play("YX1KC8KD8TZ");
        QCOMPARE(r.t.state.LastKeyCode, qint16(80));
        // 铜钹: program 47, note KeyBase + 12, on channel 6.
        QCOMPARE(r.t.midi.messagesOfKind(0x90), Msgs{R::noteOn(6, 48, 100)});
        QCOMPARE(r.player.Timer3().interval(), 2 * kTick);
        r.advanceMs(5000);
        QCOMPARE(r.melody(), (QStringList{"60@166", "62@830"}));
        QCOMPARE(r.rooms.rhythmTicksMs, (QList<qint64>{166, 332, 498, 664, 830, 996, 1162, 1328, 1494}));
    }
    {
        // 海浪声: five ticks of eight eighths each; the rhythm slows down with them.
        ScoreRig r;
        r.play("YX5KC8TZ");
        QCOMPARE(r.t.state.LastKeyCode, qint16(222));
        QCOMPARE(r.player.Timer3().interval(), 8 * kTick);
        r.advanceMs(5000);
        QCOMPARE(r.melody(), QStringList{"60@3320"});
        QCOMPARE(r.rooms.rhythmTicksMs.mid(0, 3), (QList<qint64>{664, 1992, 3320}));
    }
    {
        // YX4 and YX6 wait four and six ticks of two eighths.
        ScoreRig r;
        r.play("YX4YX6KC8TZ");
        r.advanceMs(5000);
        QCOMPARE(r.melody(), QStringList{QStringLiteral("60@%1").arg(10 * 2 * kTick)});
    }
}

void ScorePlayerTest::chordSoundsWithOneNote()
{
    ScoreRig r;
    r.play("HX1KC8KD8TZ");
    QCOMPARE(r.chords.chosenOption(), 0);
    QVERIFY(!r.player.ChordRequest());
    const std::array<qint16, 3> chord{{24, 28, 31}};
    QCOMPARE(r.t.state.SoundingChordNotes, chord);
    QCOMPARE(r.noteOns(), (QStringList{"0:60@0", "1:60@0", "2:60@0", "3:60@0", "4:64@0", "5:67@0"}));
    r.t.clearSent();
    r.advanceMs(8 * kTick);
    // At KD the chord stops with the melody note, and KD sounds alone.
    const Msgs kdAlone{R::noteOn(0, 62, 70), R::noteOn(1, 62, 70), R::noteOn(2, 62, 70)};
    QCOMPARE(r.sent(), melodyOff(60) + chordOff(60, 64, 67) + kdAlone);
    r.advanceMs(8 * kTick);
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(tail(r.sent(), 6), melodyOff(62) + chordOff(60, 64, 67));
}

void ScorePlayerTest::rhythmCommands()
{
    ScoreRig r;
    r.rooms.rhythmFiles = {11};
    r.play("JP1KC2JP99KC2JP12KC2JP11KC2JP0JPKC2TZ");
    r.advanceMs(5000);
    QCOMPARE(r.rooms.commands(),
             (QStringList{"setRhythmTimerEnabled(0)", "showKeyUp(0)", "setRhythmTimerEnabled(0)",
                          "applyBuiltInRhythm(1)", "setBzQd(1)", "setBzQd(0)",
                          "applyRhythmFile(12)",  // no such entry: nothing starts
                          "applyRhythmFile(11)", "setBzQd(1)",
                          // TZ stops the rhythm and releases the last note's key picture
                          "setBzQd(0)", "showKeyUp(24)"}));
    QCOMPARE(r.melody().size(), 5);
    QVERIFY(r.dialogs.messages.isEmpty());
}

void ScorePlayerTest::autoSyncAndClockParity()
{
    ScoreRig r;
    r.rooms.check5Set = true;
    r.t.state.StepIndex = 9;
    r.play("KC1TZ");
    QCOMPARE(r.t.state.StepIndex, qint16(0));
    QCOMPARE(r.rooms.commands(), (QStringList{"setRhythmTimerEnabled(0)", "showKeyUp(0)", "setBzQd(1)",
                                              "setRhythmTimerEnabled(0)"}));
    r.advanceMs(kTick);
    QCOMPARE(r.rooms.commands().mid(4), (QStringList{"setRhythmTimerEnabled(0)", "setBzQd(0)", "showKeyUp(24)"}));
    // One tick has passed: its rhythm step came first.
    QCOMPARE(r.rooms.count("RhythmClockTick"), 1);
    QCOMPARE(r.player.ClockParity(), qint16(1));

    // The parity carries over: the next playing's first tick plays no step.
    r.rooms.calls.clear();
    r.play("KC2TZ");
    r.advanceMs(kTick);
    QCOMPARE(r.rooms.count("RhythmClockTick"), 0);
    r.advanceMs(kTick);
    QCOMPARE(r.rooms.count("RhythmClockTick"), 1);
    QVERIFY(!r.player.ScorePlaying());
}

void ScorePlayerTest::playPressedWhilePlayingStops()
{
    ScoreRig r;
    r.play("KC8KD8TZ");
    r.advanceMs(100);
    r.rooms.calls.clear();
    r.t.clearSent();
    r.press();
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    QVERIFY(!r.player.Timer3().isEnabled());
    QCOMPARE(r.sent().mid(0, 6), silence(60));
    QCOMPARE(r.rooms.commands(), (QStringList{"setRhythmTimerEnabled(0)", "setRhythmTimerEnabled(0)", "setBzQd(0)"}));
    r.advanceMs(5000);
    QCOMPARE(r.melody(), QStringList{});
}

void ScorePlayerTest::workedExampleTiming()
{
    ScoreRig r;
    QList<int> selections;
    connect(&r.t.window, &WindowDisplay::text3SelectionRequested, this,
            [&](int start, int length) { selections << start * 10 + length; });
    const QString score = "YQ12XZ8KGKEKDKC32XZ8KDWBWAWG32XZ8KBKAKBKG12KA4KF8KEKD4KEKFKEKG12TZ";
    r.play(score);
    QCOMPARE(r.rooms.commands().mid(3, 1), QStringList{"applyCombination(12)"});
    // Each step selects the second character of its token.
    QCOMPARE(selections, (QList<int>{11, 51}));
    r.advanceMs(30000);
    QCOMPARE(r.melody(), (QStringList{"67@664", "64@1328", "62@1992", "60@2656", "62@5976", "59@6640",
                                      "57@7304", "55@7968", "71@11288", "69@11952", "71@12616", "67@13280",
                                      "69@14276", "65@14608", "64@15272", "62@15936", "64@16268", "65@16600",
                                      "64@16932", "67@17264"}));
    QCOMPARE(selections.mid(0, 7), (QList<int>{11, 51, 81, 101, 121, 141, 181}));
    QCOMPARE(r.player.CurrentDuration(), qint16(12));
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.ScorePos(), 1);
    // The rests stop the sounding note at their time.
    QCOMPARE(r.t.midi.sent.last().dueNs / ScoreRig::kMs, 17264 + 12 * kTick);
}

void ScorePlayerTest::textGrowingWhilePlaying()
{
    // The keyboard's automatic close appends the last duration and TZ.
    ScoreRig r;
    r.play("KC8KD");
    r.advanceMs(100);
    r.t.state.ScoreText += "8TZ";
    r.advanceMs(5000);
    QCOMPARE(r.melody(), (QStringList{"60@0", "62@664"}));
    QVERIFY(r.dialogs.messages.isEmpty());
    QVERIFY(!r.player.ScorePlaying());
}

void ScorePlayerTest::keyboardTakesOver()
{
    ScoreRig r;
    r.play("KC8KD8KE8TZ");
    r.advanceMs(100);
    // A note key clears the flag but does not stop the clock.
    r.player.clearScorePlaying();
    r.advanceMs(600);
    QCOMPARE(r.melody(), (QStringList{"60@0", "62@664"}));
    // So the play button now starts again instead of stopping.
    r.press();
    QVERIFY(r.player.ScorePlaying());
    QCOMPARE(r.melody().last(), QString("60@700"));
    // The Space key's stop also puts the caption back.
    r.player.showIdleCaption();
    QCOMPARE(r.player.playCaption(), QString("试听"));
}

void ScorePlayerTest::tooLongScoreIsRefused()
{
    ScoreRig r;
    const QString tooLong(ScoreReader::kMaxScoreLength + 1, QLatin1Char('k'));
    r.t.window.setText3(tooLong);
    r.press();
    QCOMPARE(r.dialogs.messages, QStringList{ScoreReader::tooLongMessage()});
    QCOMPARE(r.t.window.Text3(), tooLong);  // not even upper-cased
    QVERIFY(r.t.state.ScoreText.isEmpty());
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    QCOMPARE(r.rooms.commands(), QStringList{"setRhythmTimerEnabled(0)"});  // the mouse-down only
    QVERIFY(r.t.midi.messagesOfKind(0x90).isEmpty());

    // At the limit the score plays (and "KK" is an error).
    ScoreRig s;
    s.play(QString(ScoreReader::kMaxScoreLength, QLatin1Char('k')));
    QCOMPARE(s.dialogs.messages, QStringList{ScorePlayer::errorMessage()});
}

void ScorePlayerTest::midiErrorBoxDoesNotNestTicks()
{
    ScoreRig r;
    r.play("KC2KD2KE2TZ");
    bool first = true;
    int ticksBefore = -1, ticksAfter = -1, posBefore = -1, posAfter = -1;
    r.dialogs.whileShown = [&](const QString &) {
        if (!first)
            return;
        first = false;
        // The box's event loop lets the clock fire; such a tick must not run a step.
        ticksBefore = r.player.TickCount();
        posBefore = r.player.ScorePos();
        r.t.clock.run(r.t.clock.nowNs() + 10 * kTick * ScoreRig::kMs);
        ticksAfter = r.player.TickCount();
        posAfter = r.player.ScorePos();
    };
    r.advanceMs(kTick);
    r.t.midi.sendResult = 2;  // the device fails from now on
    r.advanceMs(kTick);
    QVERIFY(!first);
    QCOMPARE(ticksAfter, ticksBefore);
    QCOMPARE(posAfter, posBefore);
    r.t.midi.sendResult = 0;
    r.advanceMs(5000);
    QVERIFY(!r.player.ScorePlaying());
}

DZQ_REGISTER_TEST(ScorePlayerTest)

#include "ScorePlayerTest.moc"
