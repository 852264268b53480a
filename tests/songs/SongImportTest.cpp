#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/SongImport.h"

#include <QTest>

namespace {

// 90 beats a minute, 480 ticks a quarter: a score unit is 60 ticks.
MidiBuilder song90()
{
    MidiBuilder b(1, 480);
    b.track().tempo(0, 666667).keySignature(0);
    b.track().name("Lead");
    return b;
}

// Notes "start:length:pitch" in ticks, 480 a quarter, in one named track.
MidiBuilder withNotes(int micros, const QString &notes)
{
    MidiBuilder b(1, 480);
    b.track().tempo(0, micros).keySignature(0);
    b.track().name("Lead");
    for (const QString &n : notes.split(' ', Qt::SkipEmptyParts)) {
        const QStringList v = n.split(':');
        b.note(v[0].toInt(), v[1].toInt(), v[2].toInt());
    }
    return b;
}

SongImportResult imported(const MidiBuilder &b, int part = 0)
{
    MidiSong song;
    QString error;
    if (!MidiFile::parse(b.bytes(), &song, &error))
        qWarning() << error;
    return SongImport::convert(song, part);
}

}  // namespace

// A song written as a score: tokens, numbers, tempo commands, limits.
class SongImportTest : public QObject {
    Q_OBJECT
private slots:
    void melodyBecomesNotesRestsAndTheEnd()
    {
        MidiBuilder b = song90();
        b.note(0, 480, 60).note(480, 480, 62).note(960, 960, 64).note(2400, 480, 67);
        const SongImportResult r = imported(b);
        QVERIFY(r.ok);
        QCOMPARE(r.score, QString("VS7KC8KDKE16XZ8KGTZ"));
        QCOMPARE(r.keyPosition, 0);
        QCOMPARE(r.notes, 4);
        QCOMPARE(r.fileBytes(), QByteArray("VS7KC8KDKE16XZ8KGTZ\r\n"));
        const QString summary = r.summary();
        QVERIFY2(summary.contains("旋律取自第1轨“Lead”，共4个音符。"), qPrintable(summary));
        QVERIFY(summary.contains("速度：乐曲每分钟90拍，乐谱用VS7（每分钟90拍）。"));
        QVERIFY(summary.split('\n').contains("调：C。"));
        QVERIFY(!summary.contains("0个音"));

        // A note off the scale and one above five octaves are said.
        const QString changed = imported(withNotes(666667, "0:480:60 480:480:62 960:480:64 1440:480:65 "
                                                           "1920:480:67 2400:480:69 2880:480:71 3360:480:61 "
                                                           "3840:480:120"))
                                    .summary();
        QVERIFY2(changed.contains("调：C。1个音不在C调音阶上，已移到最近的音级；1个音超出五个八度，已移入五个八度之内。"),
                 qPrintable(changed));
    }

    // One line of the tune: a struck note ends the one before; chords are
    // notes struck together; short notes on one unit give way to the
    // longest (the last of equals); a rest needs half a unit of silence.
    void theTuneComesBackWhole_data()
    {
        QTest::addColumn<int>("micros");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("score");
        QTest::addColumn<int>("together");
        QTest::addColumn<int>("tooShort");
        QTest::addColumn<int>("offGrid");
        QString legato;  // 100 a minute, eighths held 50 ms into the next
        const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62, 60};
        for (int i = 0; i < 15; ++i)
            legato += QStringLiteral("%1:280:%2 ").arg(i * 240).arg(scale[i]);
        QTest::newRow("legato scale") << 600000 << legato << "VS9KC4KDKEKFKGKAKBHCKBKAKGKFKEKDKC5TZ" << 0 << 0 << 0;
        QTest::newRow("chord struck unevenly") << 666667 << "0:480:60 20:480:64 10:480:67 480:480:62"
                                               << "VS7KG8KDTZ" << 2 << 0 << 0;
        QTest::newRow("lower note under a held one") << 666667 << "0:960:72 480:480:60" << "VS7HC8KCTZ" << 0 << 0 << 0;
        QTest::newRow("grace note") << 666667 << "0:450:67 450:30:74 480:480:72" << "VS7KG8HCTZ" << 0 << 1 << 0;
        QTest::newRow("trill ends on its long note")
            << 666667 << "0:40:72 40:40:74 80:40:72 120:40:74 160:40:72 200:40:74 240:432:72" << "VS7HC1HCHDHDHC7TZ"
            << 0 << 2 << 2;  // sextuplets
        QTest::newRow("run ends on its goal")
            << 666667 << "0:30:60 30:30:62 60:30:64 90:30:65 120:30:67 150:30:69 180:30:71 210:30:72 240:30:74 270:480:76"
            << "VS7KC1KEKGKBHDHE8TZ" << 0 << 4 << 0;
        QTest::newRow("human timing") << 666667 << "0:455:60 490:440:62 945:470:64 1440:450:65" << "VS7KC8KDKEKFTZ" << 0
                                      << 0 << 0;
        QTest::newRow("staccato keeps its rests") << 666667 << "0:240:60 480:240:62" << "VS7KC4XZKDTZ" << 0 << 0 << 0;
        QTest::newRow("triplets") << 666667 << "0:160:60 160:160:62 320:160:64 480:480:65" << "VS7KC3KD2KE3KF8TZ" << 0
                                  << 0 << 2;
    }
    void theTuneComesBackWhole()
    {
        QFETCH(int, micros);
        QFETCH(QString, notes);
        QFETCH(QString, score);
        QFETCH(int, together);
        QFETCH(int, tooShort);
        QFETCH(int, offGrid);
        const SongImportResult r = imported(withNotes(micros, notes));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.score, score);
        QCOMPARE(r.together, together);
        QCOMPARE(r.tooShort, tooShort);
        QCOMPARE(r.offGrid, offGrid);
        QCOMPARE(r.notes + together + tooShort, int(notes.split(' ', Qt::SkipEmptyParts).size()));
        const QString summary = r.summary();
        QCOMPARE(summary.contains("同时发声"), together > 0);
        QCOMPARE(summary.contains("太短"), tooShort > 0);
        QCOMPARE(summary.contains("三连音"), offGrid > 0);
    }

    // Every tempo of the song has its command, with the durations halved
    // or doubled as the first; what the commands cannot reach is said.
    void tempoMapsAreFollowed_data()
    {
        QTest::addColumn<QVector<int>>("tempos");  // tick, micros, tick, micros ...
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("score");
        QTest::addColumn<QString>("said");
        QTest::newRow("faster, halved") << QVector<int>{0, 666667, 960, 428571} << "0:480:60 480:480:62 960:480:64 1440:480:65"
                                        << "VS7KC8KDVS3KE4KFTZ" << "0:01处每分钟140拍用VS3（每分钟70拍），时值缩短为原来的1/2";
        QTest::newRow("slower, doubled")
            << QVector<int>{0, 1000000, 480, 1071429, 960, 1153846, 1440, 1200000}
            << "0:480:60 480:480:62 960:480:64 1440:480:65" << "VS1KC8VS11KD16VS10KE16VS9KF16TZ"
            << "乐曲中途的速度变化已用3个VS命令跟随。";
        QTest::newRow("beyond the steps") << QVector<int>{0, 666667, 960, 952381} << "0:960:60 960:960:62"
                                          << "VS7KC16VS2KD16TZ" << "这些速度无法准确对应：0:01处每分钟63拍用VS2（每分钟65拍），快了3%";
        QTest::newRow("inside a note") << QVector<int>{0, 666667, 960, 600000} << "0:1440:60 1440:480:62"
                                       << "VS7KC24VS9KD8TZ" << "1处速度变化落在一个音的中间";
        QTest::newRow("inside a rest") << QVector<int>{0, 666667, 960, 600000} << "0:480:60 1440:480:62"
                                       << "VS7KC8XZVS9XZ8KDTZ" << "已用1个VS命令跟随";
    }
    void tempoMapsAreFollowed()
    {
        QFETCH(QVector<int>, tempos);
        QFETCH(QString, notes);
        QFETCH(QString, score);
        QFETCH(QString, said);
        MidiBuilder b = withNotes(tempos[1], notes);
        for (int i = 2; i + 1 < tempos.size(); i += 2)
            b.tempo(tempos[i], tempos[i + 1]);
        const SongImportResult r = imported(b);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.score, score);
        QVERIFY2(r.summary().contains(said), qPrintable(r.summary()));
    }

    // The song's time as the beat option has it: its own, one whose bar
    // holds whole bars of it, else the nearest.
    void theSongsTimeIsKept_data()
    {
        QTest::addColumn<QVector<int>>("times");  // numerator, denominator power, ...
        QTest::addColumn<int>("beats");
        QTest::addColumn<QString>("said");
        QTest::newRow("none") << QVector<int>{} << 0 << "";
        QTest::newRow("3/4") << QVector<int>{3, 2} << 3 << "拍子：3/4。";
        QTest::newRow("6/8") << QVector<int>{6, 3} << 3 << "拍子：乐曲为6/8拍，按3/4拍分小节。";
        QTest::newRow("2/2") << QVector<int>{2, 1} << 4 << "拍子：乐曲为2/2拍，按4/4拍分小节。";
        QTest::newRow("5/4") << QVector<int>{5, 2} << 4 << "乐曲为5/4拍，按4/4拍";
        QTest::newRow("3/8") << QVector<int>{3, 3} << 3 << "乐曲为3/8拍，按3/4拍";
        QTest::newRow("changing") << QVector<int>{2, 2, 3, 2, 3, 2} << 2 << "拍子：2/4；乐曲中途1次改变拍子，只按开头的拍子。";
    }
    void theSongsTimeIsKept()
    {
        QFETCH(QVector<int>, times);
        QFETCH(int, beats);
        QFETCH(QString, said);
        MidiBuilder b = song90();
        for (int i = 0; i + 1 < times.size(); i += 2)
            b.at(i * 960, MidiBuilder::bytesOf({0xFF, 0x58, 4, times[i], times[i + 1], 24, 8}));
        b.note(0, 480, 60);
        const SongImportResult r = imported(b);
        QCOMPARE(r.beatsPerBar, beats);
        QCOMPARE(r.summary().contains("拍子"), beats > 0);
        QVERIFY2(r.summary().contains(said), qPrintable(r.summary()));
    }

    void longNotesAndRestsAreSplitAtNinetyNine()
    {
        MidiBuilder b = song90();
        b.note(0, 130 * 60, 60).note(380 * 60, 480, 62);
        const SongImportResult r = imported(b);
        QCOMPARE(r.score, QString("VS7KC99XZ31XZ99XZXZ52KD8TZ"));
        QCOMPARE(r.shortened, 1);
        QCOMPARE(r.lines.size(), 3);  // four bars of 4/4 a line
        QCOMPARE(r.lines.join(QString()), r.score);
        QVERIFY(r.summary().contains("1个音长于99个时值单位，已截短。"));
    }

    void tempoChangesAndKeyAndHalving()
    {
        MidiBuilder b = song90();
        b.tempo(960, 600000).note(0, 480, 62).note(480, 480, 64).note(960, 480, 66).note(1440, 480, 62);
        SongImportResult r = imported(b);
        QCOMPARE(r.score, QString("VS7KC8KDVS9KE8KCTZ"));  // D major, KeyBase 38
        QCOMPARE(r.keyPosition, 2);

        MidiBuilder fast(1, 480);
        fast.track().tempo(0, 500000).note(0, 480, 60).note(480, 240, 62).note(720, 240, 64);
        r = imported(fast);
        QCOMPARE(r.score, QString("VS1KC4KD2KETZ"));
        QVERIFY(r.summary().contains("乐曲每分钟120拍，乐谱用VS1（每分钟60拍），时值缩短为原来的1/2。"));
    }

    void aPartCanBeChosen()
    {
        MidiBuilder b = song90();
        b.note(0, 480, 72).note(480, 480, 74);
        b.track().name("Bass").note(0, 960, 36);
        SongImportResult r = imported(b, 2);
        QCOMPARE(r.part, 2);
        QCOMPARE(r.score, QString("VS7LC16TZ"));
        QCOMPARE(r.partLines(), (QStringList{"第1轨“Lead”：2个音符，通道1", "第2轨“Bass”：1个音符，通道1"}));
        r = imported(b, 3);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("MIDI文件中没有第3轨，只有第1到第2轨。"));
    }

    void songsWithoutAMelodyAreRefused()
    {
        MidiBuilder empty = song90();
        QCOMPARE(imported(empty).error, QString("MIDI文件中没有音符，没有可以导入的旋律。"));
        MidiBuilder drums = song90();
        drums.note(0, 120, 36, 9).note(240, 120, 38, 9);
        QCOMPARE(imported(drums).error, QString("MIDI文件中只有打击乐，没有可以作为旋律的音轨。"));
        QVERIFY(imported(drums, 1).ok);  // chosen on purpose, it is taken
    }

    // Damage that leaves no note says so, naming the track; a mark of
    // another name beside the tracks is no damage.
    void aSongDamagedFromATracksStartSaysSo_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QByteArray song = song90().note(0, 480, 60).bytes();
        const qsizetype second = song.lastIndexOf("MTrk");
        QByteArray dataFirst = song;
        dataFirst[second + 8] = char(0x3C);  // the first delta a data byte: no status before it
        dataFirst[second + 9] = char(0x40);
        QTest::newRow("first event") << dataFirst << "第2轨从开头就已损坏（数据字节前没有状态字节）";
        QByteArray markHit = song;
        markHit[second] = char(0);
        QTest::newRow("track mark") << markHit << "第2轨从开头就已损坏（音轨标记“MTrk”变成了“%00Trk”）";
        QByteArray oneLetter = song;
        oneLetter[second + 3] = 'x';
        QTest::newRow("one letter") << oneLetter << "第2轨从开头就已损坏（音轨标记“MTrk”变成了“MTrx”）";
    }
    void aSongDamagedFromATracksStartSaysSo()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        MidiSong song;
        QString error;
        QVERIFY2(MidiFile::parse(bytes, &song, &error), qPrintable(error));
        QCOMPARE(song.damagedTracks, QVector<int>{2});
        const SongImportResult r = SongImport::convert(song);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith("MIDI文件已损坏，读不到任何音符") && r.error.contains(message), qPrintable(r.error));

        // A track after the damaged one keeps its number, and is read.
        const QByteArray third = MidiBuilder::chunk("MTrk", MidiBuilder::bytesOf({0, 0x90, 62, 64, 60, 0x80, 62, 0}));
        bytes[13] = 3;
        QVERIFY(MidiFile::parse(bytes + third, &song, &error));
        QCOMPARE(song.tracks.size(), 3);
        QCOMPARE(song.tracks[2].notes.size(), 1);
        QVERIFY(SongImport::convert(song).ok);
    }

    void otherChunksBesideTheTracksAreNoDamage()
    {
        QByteArray song = song90().note(0, 480, 60).bytes();
        song.insert(song.lastIndexOf("MTrk"), MidiBuilder::chunk("XFIH", "abc"));
        MidiSong s;
        QString error;
        QVERIFY(MidiFile::parse(song, &s, &error));
        QVERIFY(s.damagedTracks.isEmpty());
        QVERIFY(s.warnings.isEmpty());
        QCOMPARE(s.noteCount(), 1);
    }

    // Rests up to the longest score and no note: refused, not "imported".
    void aFirstNoteBeyondTheLongestScoreIsRefused()
    {
        MidiBuilder b = song90();
        b.at(1 << 27, MidiBuilder::bytesOf({0xFF, 0x01, 1, 'x'})).note(qint64(1) << 28, 480, 60);
        const SongImportResult r = imported(b);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith("MIDI文件的第一个音符离开头太远"), qPrintable(r.error));
        MidiBuilder near = song90();
        near.note(60 * 700000, 480, 60);  // rests "XZ99" of 700000 units: about 28300 characters
        QVERIFY(imported(near).ok);
    }

    void theScoreNeverExceedsWhatThePlayerReads()
    {
        MidiBuilder b = song90();
        for (int i = 0; i < 20000; ++i)
            b.note(i * 60, 60, i % 2 ? 62 : 60);
        const SongImportResult r = imported(b);
        QVERIFY(r.ok);
        QVERIFY(r.score.size() <= 32767 && r.score.size() > 32750);
        QVERIFY(r.score.endsWith("KDTZ") || r.score.endsWith("KCTZ"));
        QCOMPARE(r.notes + r.leftOut, 20000);
        QVERIFY(r.summary().contains(QStringLiteral("后面的%1个音没有导入").arg(r.leftOut)));
    }
};

DZQ_REGISTER_TEST(SongImportTest)
#include "SongImportTest.moc"
