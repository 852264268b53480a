#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/SongMelody.h"

#include <QTest>

namespace {

MidiSong parsed(const MidiBuilder &b)
{
    MidiSong song;
    QString error;
    MidiFile::parse(b.bytes(), &song, &error);
    return song;
}

QString lineText(const SongMelody::Line &line)
{
    QStringList out;
    for (const SongMelody::Note &n : line.notes)
        out << QStringLiteral("%1@%2+%3").arg(n.pitch).arg(n.start).arg(n.length);
    return out.join(' ');
}

}  // namespace

// Which part of a song is its melody, at which score tempo, on which grid.
class SongMelodyTest : public QObject {
    Q_OBJECT
private slots:
    void tempoPlaysTheSongAtItsRealSpeed_data()
    {
        QTest::addColumn<double>("song");
        QTest::addColumn<int>("vs");
        QTest::addColumn<double>("beats");
        QTest::newRow("90") << 90.0 << 7 << 1.0;
        QTest::newRow("60") << 60.0 << 1 << 1.0;
        QTest::newRow("112 to 110") << 112.0 << 11 << 1.0;
        QTest::newRow("115") << 115.0 << 12 << 1.0;
        QTest::newRow("118 halved") << 118.0 << 1 << 0.5;  // 59 is nearer 60 than 118 is to 115
        QTest::newRow("120 halved") << 120.0 << 1 << 0.5;
        QTest::newRow("150 halved") << 150.0 << 4 << 0.5;
        QTest::newRow("200 halved") << 200.0 << 9 << 0.5;
        QTest::newRow("240 quartered") << 240.0 << 1 << 0.25;
        QTest::newRow("40 doubled") << 40.0 << 5 << 2.0;
        QTest::newRow("57 doubled") << 57.0 << 12 << 2.0;  // 114 is nearer 115 than 57 is to 60
        QTest::newRow("20 quadrupled") << 20.0 << 5 << 4.0;
    }
    void tempoPlaysTheSongAtItsRealSpeed()
    {
        QFETCH(double, song);
        QFETCH(int, vs);
        QFETCH(double, beats);
        const SongMelody::Tempo t = SongMelody::chooseTempo(song);
        QCOMPARE(t.vs, vs);
        QCOMPARE(t.scoreTempo, 60 + 5 * (vs - 1));
        QCOMPARE(t.beatsPerQuarter, beats);
    }

    void melodyIsTheBusiestTrackOrChannelThatIsNoDrums()
    {
        // Format 1: the conductor track is no part; drums are not chosen
        // even with the most notes.
        MidiBuilder one(1, 480);
        one.track().tempo(0, 500000);
        one.track().name("Drums");
        for (int i = 0; i < 9; ++i)
            one.note(i * 120, 60, 36, 9);
        one.track().name("Lead").note(0, 480, 72).note(480, 480, 74);
        one.track().name("Pad").note(0, 960, 60);
        QVector<SongMelody::Part> parts = SongMelody::parts(parsed(one));
        QCOMPARE(parts.size(), 3);
        QVERIFY(parts[0].percussion);
        QCOMPARE(parts[1].name, QString("Lead"));
        QCOMPARE(parts[1].track, 2);
        QCOMPARE(SongMelody::melodyPart(parts), 2);

        // Format 0: one track, its channels are the parts.
        MidiBuilder zero(0, 480);
        zero.track().note(0, 480, 60, 0).note(0, 100, 38, 9).note(480, 480, 62, 1).note(960, 480, 64, 1);
        parts = SongMelody::parts(parsed(zero));
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts[2].channel, 9);
        QVERIFY(parts[2].percussion);
        QCOMPARE(SongMelody::melodyPart(parts), 2);  // channel 2 (index 1), two notes

        MidiBuilder drums(0, 480);
        drums.track().note(0, 480, 36, 9);
        QCOMPARE(SongMelody::melodyPart(SongMelody::parts(parsed(drums))), 0);
    }

    // Parts "name:notes:lowest pitch:notes struck at once", one track each.
    void theTuneIsChosenByWhatMakesATune_data()
    {
        QTest::addColumn<QString>("song");
        QTest::addColumn<int>("part");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bass as busy as the melody") << "Bass:30:36:1, Melody:30:60:1" << 2 << "“Melody”";
        QTest::newRow("busier arpeggio") << "Piano:60:48:1, Melody:30:60:1" << 2 << "“Melody”";
        QTest::newRow("chinese names") << "贝斯:30:40:1, 主旋律:20:62:1, 鼓:50:36:1" << 2 << "“主旋律”";
        QTest::newRow("a melody instrument's name") << "Strings:40:55:3, Lead 1 (square):40:60:1" << 2 << "表明它是旋律";
        QTest::newRow("brass quartet") << "Trombone:40:50:1, Trumpet:40:67:1, Horn:40:60:1, Tuba:40:36:1" << 2
                                       << "平均音高最高";
        QTest::newRow("chords above a line") << "Pad:40:72:3, Flute:40:62:1" << 2 << "一次只发一个音";
        QTest::newRow("a few high notes") << "Piccolo:6:84:1, Violin:40:64:1" << 2 << "平均音高最高";
        QTest::newRow("as high: the busier") << "Violin I:30:64:1, Violin II:45:64:1" << 2 << "音符最多";
        QTest::newRow("the one that is no bass") << "Cello:30:40:1, Bass:30:36:1" << 1 << "低音或鼓";
        QTest::newRow("one part") << "Synth:10:60:1" << 1 << "唯一";
    }
    void theTuneIsChosenByWhatMakesATune()
    {
        QFETCH(QString, song);
        QFETCH(int, part);
        QFETCH(QString, reason);
        MidiBuilder b(1, 480);
        b.track().tempo(0, 500000);
        for (const QString &p : song.split(", ")) {
            const QStringList v = p.split(':');
            b.track().name(v[0].toUtf8());
            for (int i = 0; i < v[1].toInt(); ++i) {
                for (int c = 0; c < v[3].toInt(); ++c)
                    b.note(i * 240, 240, v[2].toInt() + i % 5 + 4 * c);
            }
        }
        const SongMelody::Choice c = SongMelody::chooseMelody(SongMelody::parts(parsed(b)));
        QCOMPARE(c.number, part);
        QVERIFY2(c.reason.contains(reason), qPrintable(c.reason));
    }

    void oneLineOfTheHighestNotesOnTheGrid()
    {
        // 90 beats a minute at 480 ticks: a unit is 60 ticks.
        MidiBuilder b(1, 480);
        b.track().tempo(0, 666667);
        b.track()
            .note(0, 480, 60).note(0, 480, 64).note(0, 480, 67)  // a chord: its top note
            .note(240, 480, 72)                                  // a note struck later ends the chord
            .note(300, 120, 48)                                  // and a lower one ends it in turn
            .note(959, 29, 50)                                   // rounded to unit 16, one unit long
            .note(1020, 0, 52)                                   // no length: one unit
            .note(1100, 200, 53);
        const MidiSong song = parsed(b);
        const SongMelody::Grid grid(song);
        QCOMPARE(grid.opening().vs, 7);
        const SongMelody::Line line = SongMelody::melody(song, SongMelody::parts(song)[0], grid);
        QCOMPARE(lineText(line), QString("67@0+4 72@4+1 48@5+2 50@16+1 52@17+1 53@18+4"));
        QCOMPARE(line.together, 2);
        QCOMPARE(line.tooShort, 0);
    }

    void laterTempoChangesBecomeTempoCommands()
    {
        MidiBuilder b(1, 480);
        b.track().tempo(0, 666667).tempo(960, 600000).tempo(1920, 598000).tempo(2880, 1000000);
        const QVector<SongMelody::TempoChange> changes = SongMelody::Grid(parsed(b)).changes();
        QCOMPARE(changes.size(), 2);  // 100.3 is still VS9
        QCOMPARE(changes[0].unit, 16);
        QCOMPARE(changes[0].vs, 9);
        QCOMPARE(changes[1].unit, 48);
        QCOMPARE(changes[1].vs, 1);
    }
};

DZQ_REGISTER_TEST(SongMelodyTest)
#include "SongMelodyTest.moc"
