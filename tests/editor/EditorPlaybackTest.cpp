#include "EditorRig.h"
#include "TestMain.h"


#include <QMap>
#include <QRegularExpression>

namespace {

constexpr qint64 kMs = 1000000;

// Plays from the start in virtual time until the music stops by itself.
void playThrough(EditorRig &rig)
{
    rig.playback().setST2(true);
    for (int guard = 0; rig.playback().SongPlaying() && guard < 100000; ++guard)
        rig.t.clock.runUntilIdle(rig.t.clock.nowNs() + 10000 * kMs, 1);
}

// Every note-on of the melody channels is followed by its note-off.
bool noNoteHangs(const EditorRig &rig, QString *which)
{
    QMap<quint32, int> sounding;  // channel << 8 | note -> count
    for (const auto &s : rig.t.midi.sent) {
        const quint32 kind = s.message & 0xF0;
        const quint32 key = (s.message & 0x0F) << 8 | ((s.message >> 8) & 0xFF);
        if ((s.message & 0x0F) > 4)
            continue;
        if (kind == 0x90 && (s.message >> 16) > 0)
            sounding[key] += 1;
        else if (kind == 0x80 || kind == 0x90)
            sounding[key] = 0;
    }
    for (auto it = sounding.begin(); it != sounding.end(); ++it) {
        if (it.value() > 0) {
            *which = QStringLiteral("channel %1 note %2").arg(it.key() >> 8).arg(it.key() & 0xFF);
            return false;
        }
    }
    return true;
}

}  // namespace

class EditorPlaybackTest : public QObject {
    Q_OBJECT
private slots:
    void auditionOfMeasureTwo()
    {
        EditorRig rig;
        rig.show(2);
        for (int s = 0; s < 16; ++s)
            rig.controls().clickBox(5, s, true);
        rig.playback().audition();
        QVERIFY(rig.playback().ST1());
        QCOMPARE(int(rig.t.state.StepIndex), 33);  // step 32 sounded at once
        rig.t.clock.advanceMs(20 * 187);
        QVERIFY(!rig.playback().ST1());
        QVERIFY(!rig.playback().YYDS().isEnabled());
        QCOMPARE(int(rig.t.state.StepIndex), 48);
        const QVector<qint64> drums = rig.drumTimes();
        QCOMPARE(drums.size(), 16);
        QCOMPARE(drums.last(), 15 * 187);
        // All notes off after the measure: five note-offs at the tick after step 47.
        QCOMPARE(rig.melodyNotes().filter(QStringLiteral("@%1").arg(16 * 187)).size(), 5);
    }

    void heldNoteAndRest_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("note");
        QTest::newRow("C") << 0 << 84;
        QTest::newRow("D") << 2 << 86;
    }
    void heldNoteAndRest()
    {
        QFETCH(int, key);
        QFETCH(int, note);
        EditorRig rig;
        rig.controls().selectKey(key);
        rig.enterMelody(0, QStringLiteral("MC------XZ"));
        rig.playback().audition();
        rig.t.clock.advanceMs(16 * 187);
        const QStringList notes = rig.melodyNotes().filter(QRegularExpression(QStringLiteral("^o\\w+ 0 ")));
        QCOMPARE(notes.mid(1, 2), (QStringList{QStringLiteral("on 0 %1 @0").arg(note),
                                              QStringLiteral("off 0 %1 @%2").arg(note).arg(4 * 187)}));
    }

    void noteOffFollowsTheSoundingNoteAcrossAKeyChange()
    {
        EditorRig rig;
        rig.enterMelody(0, QStringLiteral("MC------XZ"));
        rig.playback().audition();
        rig.controls().selectKey(2);  // while note 84 sounds
        rig.t.clock.advanceMs(16 * 187);
        QVERIFY(rig.melodyNotes().contains(QStringLiteral("off 0 84 @%1").arg(4 * 187)));
        QString which;
        QVERIFY2(noNoteHangs(rig, &which), qPrintable(which));
    }

    void silentRowAndEndMark()
    {
        EditorRig rig;
        rig.controls().selectInstrument(1, 0);  // "0.无声"
        rig.enterMelody(1, QStringLiteral("KC--KD"));
        rig.enterMelody(2, QStringLiteral("KC--TZ--KD"));
        rig.enterMelody(3, QStringLiteral("KE"));
        playThrough(rig);
        const QStringList notes = rig.melodyNotes();
        QVERIFY(notes.filter(QRegularExpression(QStringLiteral("^on 1 "))).isEmpty());
        QVERIFY(!notes.filter(QRegularExpression(QStringLiteral("^off 1 "))).isEmpty());
        QVERIFY(notes.contains(QStringLiteral("off 2 60 @%1").arg(2 * 187)));
        QVERIFY(notes.contains(QStringLiteral("on 2 62 @%1").arg(4 * 187)));
        // Row 3 sounds on through the end mark of row 2, until the music ends.
        QVERIFY(notes.contains(QStringLiteral("off 3 64 @%1").arg(16 * 187)));
    }

    void threeMeasuresInThreeFour()
    {
        EditorRig rig;
        rig.controls().selectTimeSignature(1);
        rig.model.MeasureTotal = 2;
        for (int a = 0; a < 72; ++a)
            rig.model.setStepCell(a, 5, QStringLiteral("O"));
        rig.playback().setST2(true);
        QCOMPARE(rig.playback().ST2Caption(), QStringLiteral("停止当前演奏"));
        QVERIFY(!rig.playback().helpEnabled());
        playThrough(rig);
        QCOMPARE(rig.playback().SongEnd(), 71);
        QCOMPARE(rig.drumTimes().size(), 72);
        QCOMPARE(rig.drumTimes().last(), 71 * 187);
        QVERIFY(!rig.playback().ST2());
        QCOMPARE(rig.playback().ST2Caption(), QStringLiteral("从开始处启动"));
        QVERIFY(rig.playback().helpEnabled());
        QCOMPARE(rig.t.clock.nowNs(), 72 * 187 * kMs);
        // The window showed each measure as playing reached it.
        QCOMPARE(rig.controls().scrollValue(), 2);
        QCOMPARE(rig.controls().XJZS(), QStringLiteral("2"));
    }

    void headerTempoFromTheFirstStepOfItsMeasure()
    {
        EditorRig rig;
        rig.show(1);
        rig.controls().selectTempo(8);  // 100 beats per minute
        rig.controls().BCXJ();
        rig.controls().selectTempo(4);
        rig.show(0);
        rig.model.MeasureTotal = 2;
        for (int a = 0; a < 48; ++a)
            rig.model.setStepCell(a, 5, QStringLiteral("O"));
        playThrough(rig);
        const QVector<qint64> t = rig.drumTimes();
        QCOMPARE(t.size(), 48);
        for (int a = 1; a < 48; ++a)
            QCOMPARE(t[a] - t[a - 1], qint64(a <= 16 ? 187 : 150));
    }

    void percussionCellsInheritFromTheStepBefore()
    {
        EditorRig rig;
        rig.controls().selectInstrument(5, 10);  // drum 45 for measure 0's steps
        rig.controls().setVolumeText(5, QStringLiteral("90"));
        rig.model.MeasureTotal = 1;
        rig.model.setStepCell(20, 5, QStringLiteral("O"));  // measure 1: never written
        playThrough(rig);
        QCOMPARE(rig.drumTimes(), QVector<qint64>{20 * 187});
        const StepCell &cell = rig.t.state.Steps.cell(20, 0);
        QCOMPARE(cell.Message, quint32(90 * 65536 + 45 * 256 + 153));
    }

    void playingStopsTheMainRhythmAndLeavingEndsEveryNote()
    {
        EditorRig rig;
        int stops = 0;
        int restores = 0;
        rig.c.stopMainRhythm = [&] { ++stops; };
        rig.c.restoreMainRhythm = [&] { ++restores; };
        rig.enterMelody(0, QStringLiteral("KC"));
        rig.model.MeasureTotal = 3;
        rig.playback().setST2(true);
        rig.t.clock.advanceMs(5 * 187);
        QCOMPARE(stops, 1);
        rig.c.leave();
        QCOMPARE(restores, 1);
        QVERIFY(!rig.playback().YYDS().isEnabled());
        QVERIFY(!rig.playback().ST2());
        QString which;
        QVERIFY2(noNoteHangs(rig, &which), qPrintable(which));
        // The next opening initialises again and starts empty.
        rig.c.open();
        QCOMPARE(int(rig.model.MeasureTotal), 0);
        QCOMPARE(rig.controls().melodyText(0), QString());
    }
};

DZQ_REGISTER_TEST(EditorPlaybackTest)
#include "EditorPlaybackTest.moc"
